#include "platform/base/MainQueue.hpp"

namespace ampwell::platform {

WorkItem::WorkItem(std::function<void()> work) : work_(std::move(work)) {}

void WorkItem::cancel() { cancelled_.store(true); }

bool WorkItem::isCancelled() const { return cancelled_.load(); }

void WorkItem::perform() {
    if (!isCancelled() && work_) work_();
}

}  // namespace ampwell::platform
