#pragma once

#include "platform/base/MainQueue.hpp"
#include "platform/base/Translation.hpp"
#include "platform/desktop/NotificationCenter.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ampwell {

// Raises the "iPad may be under-supplied" notification at most once per falling-trend incident,
// and turns a click on its reset action into a call of `resetRequested` on the main queue with
// the serial and connection identifier stored in the notification. Made with make(); the
// notification centre holds it weakly as its delegate.
class PowerNotifier final : public platform::NotificationCenterDelegate,
                            public std::enable_shared_from_this<PowerNotifier> {
public:
    static constexpr const char* kCategoryIdentifier = "ipad-supply-warning";
    static constexpr const char* kRequestIdentifier = "ipad-supply-warning";
    static constexpr const char* kResetActionIdentifier = "reset-ipad-usb";
    static constexpr const char* kResetActionTitle = platform::trMarked("重置 iPad USB（会断开数据）");
    static constexpr const char* kIgnoreActionIdentifier = "ignore";
    static constexpr const char* kIgnoreActionTitle = platform::trMarked("暂不处理");
    static constexpr const char* kTitle = platform::trMarked("iPad 可能供电不足");
    static constexpr const char* kBodySuffix =
        platform::trMarked("。检查线缆与供电口；需要时可手动重新连接或使用独立电源。");
    static constexpr const char* kSerialKey = "deviceSerial";
    static constexpr const char* kConnectionKey = "connectionID";

    using ResetRequested = std::function<void(const std::string& serial, const std::string& connectionID)>;

    static std::shared_ptr<PowerNotifier> make(platform::NotificationCenter& center, platform::MainQueue& mainQueue);

    // Registers this notifier as the centre's delegate and the one category, then makes sure
    // authorisation has been asked for. `completion` runs exactly once, on the centre's thread.
    void prepare(std::function<void()> completion);
    // `callback` gets whether notifications are authorised, on the centre's thread.
    void readAuthorization(std::function<void(bool authorized)> callback);
    // Posts the warning unless `incident` is the last one accepted; an incident that arrives
    // while notifications are not allowed stays suppressed. Main thread.
    void alert(const std::string& incident, const std::string& message, const std::string& serial,
               const std::string& connectionID);

    // The falling trend is over: a warning still on screen is taken off it (the incident stays
    // remembered, so the same incident is not posted again). Main thread.
    void incidentEnded();
    void didReceive(const platform::NotificationResponse& response, std::function<void()> completion) override;
    void willPresent(const platform::NotificationRequest& request,
                     std::function<void(unsigned presentationOptions)> completion) override;

    // Installed by the application; called on the main queue. Set and read on the main thread.
    ResetRequested resetRequested;
    const std::optional<std::string>& lastIncident() const { return lastIncident_; }

private:
    PowerNotifier(platform::NotificationCenter& center, platform::MainQueue& mainQueue);

    platform::NotificationCenter& center_;
    platform::MainQueue& mainQueue_;
    std::optional<std::string> lastIncident_;
    // A warning may be on screen: one was handed to the centre and not yet withdrawn.
    bool warningOut_ = false;
};

}  // namespace ampwell
