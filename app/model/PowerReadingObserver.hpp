#pragma once

#include "platform/base/SystemLog.hpp"
#include "platform/base/Translation.hpp"
#include "platform/registry/Registry.hpp"
#include "platform/registry/RegistryNames.hpp"

#include <cstdint>
#include <functional>
#include <memory>

namespace ampwell {

// Calls back on the main thread when the power manager announces that its battery and power
// status changed, so the port readings can be read again at once. Main thread only.
class PowerReadingObserver {
public:
    // The power manager's "battery status has changed" message; every other message is ignored.
    static constexpr std::uint32_t kBatteryStatusChangedMessage = platform::messages::kBatteryStatusChanged;
    // Written to the system log by the application when the observer cannot start.
    static constexpr const char* kCannotStartLogLine = platform::trMarked("系统功率更新监听未能启动，将使用定时刷新。");

    explicit PowerReadingObserver(platform::Registry& registry);
    ~PowerReadingObserver();
    PowerReadingObserver(const PowerReadingObserver&) = delete;
    PowerReadingObserver& operator=(const PowerReadingObserver&) = delete;

    // Arms the observer with `onChange`, replacing a running one. False when there is no power
    // manager or it cannot be watched; the observer is then stopped and holds nothing.
    bool start(std::function<void()> onChange);
    // `start`, writing kCannotStartLogLine to `log` when it fails.
    bool startOrLog(std::function<void()> onChange, platform::SystemLog& log);
    // `start`, but where there is no power manager yet (on Linux, a Type-C driver that comes up
    // after the program, or is loaded again) it waits for one: from the moment one appears it is
    // watched, and `onAppear` is called then. False, holding nothing, when the registry cannot
    // notify or the power manager cannot be watched.
    bool startOrAwait(std::function<void()> onChange, std::function<void()> onAppear);
    // Drops the callback and the notification; a message already queued then does nothing.
    // Harmless when stopped.
    void stop();

    bool isStarted() const { return notificationPort_ != nullptr; }

private:
    void deliver(std::uint32_t messageType);
    bool watch(const platform::RegistryEntry& service);
    void appeared(platform::ServiceIterator& iterator);

    platform::Registry& registry_;
    std::unique_ptr<platform::NotificationPort> notificationPort_;
    std::unique_ptr<platform::NotificationHandle> notifier_;
    std::unique_ptr<platform::ServiceIterator> appearances_;  // while waiting for the power manager
    std::function<void()> onChange_;
    std::function<void()> onAppear_;
};

}  // namespace ampwell
