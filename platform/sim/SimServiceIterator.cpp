#include "platform/sim/SimServiceIterator.hpp"

#include "platform/sim/SimRegistryEntry.hpp"

namespace ampwell::platform::sim {

SimServiceIterator::SimServiceIterator(std::shared_ptr<SimRegistryState> state,
                                       std::vector<std::shared_ptr<SimNode>> matches, std::uint64_t generation)
    : count_(std::move(state)), matches_(std::move(matches)), generation_(generation) {}

std::unique_ptr<RegistryEntry> SimServiceIterator::next() {
    if (position_ >= matches_.size()) return nullptr;
    return std::make_unique<SimRegistryEntry>(count_.shared(), matches_[position_++]);
}

bool SimServiceIterator::isValid() const { return count_.state().generation.load() == generation_; }

}  // namespace ampwell::platform::sim
