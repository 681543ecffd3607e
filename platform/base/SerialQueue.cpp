#include "platform/base/SerialQueue.hpp"

#include <pthread.h>

namespace ampwell::platform {

SerialQueue::SerialQueue(std::string label, const Clock& clock)
    : label_(std::move(label)), observer_(dynamic_cast<const WorkObserver*>(&clock)), thread_([this] { run(); }) {}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SerialQueue::async(std::function<void()> job) {
    if (observer_) observer_->workQueued();
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void SerialQueue::run() {
    // Thread names are limited to 15 bytes; the tail of a reverse-domain label is what tells
    // queues apart, so keep that.
    const std::string name = label_.size() > 15 ? label_.substr(label_.size() - 15) : label_;
    pthread_setname_np(pthread_self(), name.c_str());
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        if (observer_) observer_->workStarted();
        job();
        if (observer_) observer_->workEnded();
        lock.lock();
    }
}

}  // namespace ampwell::platform
