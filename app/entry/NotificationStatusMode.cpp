#include "app/entry/Modes.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>

namespace ampwell {

namespace {

// How long the mode waits for the notification service, on the platform's clock.
constexpr platform::Seconds kSettingsWait{3.0};

// What the service's thread and the waiting main thread share. The answer is printed under the
// lock, and only while the main thread still waits: a late answer prints nothing.
struct SettingsWait {
    std::mutex mutex;
    std::condition_variable arrived;
    bool done = false;
    bool abandoned = false;
};

}  // namespace

int runNotificationStatus(ModeContext& context) {
    auto& platform = context.platform();
    auto& center = context.desktop().notificationCenter();
    auto wait = std::make_shared<SettingsWait>();
    std::ostream& out = context.out();
    center.getNotificationSettings([wait, &out](platform::NotificationSettings settings) {
        std::lock_guard lock(wait->mutex);
        if (wait->abandoned || wait->done) return;
        out << "notificationAuthorizationStatus=" << static_cast<int>(settings.authorizationStatus) << std::endl;
        wait->done = true;
        wait->arrived.notify_all();
    });
    const platform::Date deadline = platform.clock().now() + kSettingsWait;
    std::unique_lock lock(wait->mutex);
    while (!wait->done) {
        if (!platform.clock().waitUntil(wait->arrived, lock, deadline) && !wait->done) break;
    }
    wait->abandoned = true;
    return 0;
}

}  // namespace ampwell
