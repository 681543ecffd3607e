#pragma once

#include "platform/base/MainQueue.hpp"
#include "platform/refresh/RefreshConnection.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ampwell::test {

// A refresh service that answers every request after `replyDelay` with `status`, or never when
// `status` is empty (so the client's own time-out ends it). Records when each request was sent.
class ScriptedRefreshService final : public platform::RefreshConnector {
public:
    ScriptedRefreshService(platform::MainQueue& queue, const platform::Clock& clock) : queue_(queue), clock_(clock) {}

    std::unique_ptr<platform::RefreshConnection> connect(const std::string&, std::uint64_t) override;

    std::optional<std::uint32_t> status = 0;
    double replyDelay = 0.1;
    std::vector<double> requestTimes;  // seconds since 1970, on the platform clock

private:
    class Connection;
    platform::MainQueue& queue_;
    const platform::Clock& clock_;
};

// An installation whose two files count as present and protected.
platform::RefreshInstallation installedRefreshComponent();

}  // namespace ampwell::test
