#pragma once

#include "platform/registry/Registry.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace ampwell::platform::linux_ {

// A walk over entries collected when the iterator was made. `unchanged` tells whether the
// registry still holds the same attachments; once it says no, the iterator stays invalid.
class LinuxServiceIterator final : public ServiceIterator {
public:
    LinuxServiceIterator(std::vector<std::unique_ptr<RegistryEntry>> entries, std::function<bool()> unchanged);

    std::unique_ptr<RegistryEntry> next() override;
    bool isValid() const override;

private:
    std::vector<std::unique_ptr<RegistryEntry>> entries_;
    std::size_t position_ = 0;
    std::function<bool()> unchanged_;
    mutable bool valid_ = true;
};

}  // namespace ampwell::platform::linux_
