#pragma once

#include "platform/registry/Registry.hpp"
#include "platform/sim/SimRegistryState.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace ampwell::platform::sim {

// A walk over the services that matched when it was made, in registry order; counted as live.
// It turns invalid as soon as an entry is added to or removed from the registry (property changes
// leave it valid); the entries it still hands out then answer as removed handles do.
class SimServiceIterator final : public ServiceIterator {
public:
    SimServiceIterator(std::shared_ptr<SimRegistryState> state, std::vector<std::shared_ptr<SimNode>> matches,
                       std::uint64_t generation);

    std::unique_ptr<RegistryEntry> next() override;
    bool isValid() const override;

private:
    SimHandleCount count_;
    std::vector<std::shared_ptr<SimNode>> matches_;
    std::size_t position_ = 0;
    std::uint64_t generation_;
};

}  // namespace ampwell::platform::sim
