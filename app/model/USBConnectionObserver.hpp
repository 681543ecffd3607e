#pragma once

#include "platform/base/SystemLog.hpp"
#include "platform/base/Translation.hpp"
#include "platform/registry/Registry.hpp"

#include <functional>
#include <memory>
#include <vector>

namespace ampwell {

// Calls back on the main thread when USB devices are plugged in or unplugged: once per batch the
// registry delivers, never for the devices already attached when it starts. It neither filters
// nor delays; coalescing is the caller's business. Main thread only.
class USBConnectionObserver {
public:
    // Written to the system log by the application when the observer cannot start.
    static constexpr const char* kCannotStartLogLine = platform::trMarked("USB 插拔监听未能启动，将使用定时刷新。");

    explicit USBConnectionObserver(platform::Registry& registry);
    ~USBConnectionObserver();
    USBConnectionObserver(const USBConnectionObserver&) = delete;
    USBConnectionObserver& operator=(const USBConnectionObserver&) = delete;

    // Arms the observer with `onChange`, replacing a running one. False when the registry cannot
    // notify; the observer is then stopped.
    bool start(std::function<void()> onChange);
    // `start`, writing kCannotStartLogLine to `log` when it fails.
    bool startOrLog(std::function<void()> onChange, platform::SystemLog& log);
    // Drops the callback and every notification; a notification already queued then does nothing.
    // Harmless when stopped.
    void stop();

    bool isStarted() const { return notificationPort_ != nullptr; }

private:
    void deliver(platform::ServiceIterator& iterator);

    platform::Registry& registry_;
    std::unique_ptr<platform::NotificationPort> notificationPort_;
    std::vector<std::unique_ptr<platform::ServiceIterator>> iterators_;
    std::function<void()> onChange_;
};

}  // namespace ampwell
