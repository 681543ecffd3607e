#include "platform/linux/LinuxServiceIterator.hpp"

namespace ampwell::platform::linux_ {

LinuxServiceIterator::LinuxServiceIterator(std::vector<std::unique_ptr<RegistryEntry>> entries,
                                           std::function<bool()> unchanged)
    : entries_(std::move(entries)), unchanged_(std::move(unchanged)) {}

std::unique_ptr<RegistryEntry> LinuxServiceIterator::next() {
    if (position_ >= entries_.size()) return nullptr;
    return std::move(entries_[position_++]);
}

bool LinuxServiceIterator::isValid() const {
    if (valid_ && unchanged_ && !unchanged_()) valid_ = false;
    return valid_;
}

}  // namespace ampwell::platform::linux_
