#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/Defaults.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/refresh/RefreshConnection.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace ampwell {

namespace platform {
class Platform;
}

// The application's side of the privileged refresh service: knows whether the daemon is
// installed and switched on, sends at most one request at a time, keeps requests 2 seconds apart
// by system uptime, gives up after 3 seconds, and reports each outcome once, on the main queue.
// Main thread only: every method, every completion and every didCompleteRequest call.
class SystemPowerRefresher {
public:
    using Completion = std::function<void(std::optional<std::uint32_t> status)>;

    static constexpr double kMinimumSpacing = 2.0;  // seconds of uptime, as the daemon's limit
    static constexpr double kReplyTimeout = 3.0;    // seconds
    // The privileged connection option: the service is looked up among the system's daemons.
    static constexpr std::uint64_t kPrivilegedConnectionOption = 1u << 12;
    // The user default behind isEnabled.
    static constexpr const char* kEnabledKey = "activeSystemPowerSampling";

    // Computes isInstalled at once. Every reference must outlive the refresher.
    SystemPowerRefresher(platform::RefreshConnector& connector, platform::Defaults& defaults,
                         platform::MainQueue& mainQueue, const platform::Clock& clock,
                         platform::RefreshInstallation installation);
    // Releases the connection and the work items without invalidating or reporting anything.
    ~SystemPowerRefresher();
    SystemPowerRefresher(const SystemPowerRefresher&) = delete;
    SystemPowerRefresher& operator=(const SystemPowerRefresher&) = delete;

    void reloadAvailability();
    // Never blocks. `completion` gets the reply's status, or nullopt when no reply came (or the
    // component is missing or off). Busy (a request in flight) answers kIOReturnBusy at once.
    void request(Completion completion);
    // Abandons the request in progress; its completion never runs.
    void cancel();

    // "activeSystemPowerSampling": true when absent or not a boolean.
    bool isEnabled() const;
    void setEnabled(bool enabled);
    bool isBusy() const { return requestID_.has_value(); }
    bool isInstalled() const { return isInstalled_; }
    bool lastRequestFailed() const { return lastRequestFailed_; }
    // Runs each time a request finishes, before that request's own completion.
    const std::function<void()>& didCompleteRequest() const { return didCompleteRequest_; }
    void setDidCompleteRequest(std::function<void()> callback) { didCompleteRequest_ = std::move(callback); }

private:
    using Token = std::weak_ptr<SystemPowerRefresher*>;

    void beginRequest(std::uint64_t id, const Completion& completion);
    // Hands an outcome to the main queue; only the first outcome of request `id` counts.
    static void finishLater(platform::MainQueue& queue, const Token& self, std::uint64_t id, Completion completion,
                            std::optional<std::uint32_t> status);
    void finishRequest(std::uint64_t id, const Completion& completion, std::optional<std::uint32_t> status);
    double uptime() const;

    platform::RefreshConnector& connector_;
    platform::Defaults& defaults_;
    platform::MainQueue& mainQueue_;
    const platform::Clock& clock_;
    platform::RefreshInstallation installation_;

    std::unique_ptr<platform::RefreshConnection> connection_;
    std::optional<std::uint64_t> requestID_;
    std::shared_ptr<platform::WorkItem> timeout_;
    std::shared_ptr<platform::WorkItem> scheduledStart_;
    double nextRequestAt_ = 0;
    bool isInstalled_ = false;
    bool lastRequestFailed_ = false;
    std::function<void()> didCompleteRequest_;

    std::uint64_t lastIssuedID_ = 0;
    // Handlers and work items hold this weakly: once the refresher is gone they do nothing.
    std::shared_ptr<SystemPowerRefresher*> self_;
};

// The refresher over a platform's own connector, defaults, main queue, clock and installation.
std::unique_ptr<SystemPowerRefresher> makeSystemPowerRefresher(platform::Platform& platform);

}  // namespace ampwell
