#pragma once

#include "platform/base/EventStream.hpp"
#include "platform/refresh/BatteryManager.hpp"
#include "platform/refresh/RefreshConnection.hpp"
#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "platform/sim/SimMobileDeviceList.hpp"
#include "platform/sim/SimRegistry.hpp"
#include "platform/sim/SimSystemLog.hpp"
#include "platform/sim/SimulationModel.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace ampwell::platform::sim {

// The simulated Mac's refresh service: connections handled in process, on the simulated clock,
// by the real daemon logic (RefreshHelper with its rate limit, operation queue and idle exit) over
// a scripted battery manager. The daemon is "launched" by the first connection and ends 10
// simulated seconds after its last accepted request, as launchd would run it; the next
// connection launches a fresh one.
//
// Each request and its outcome are told to the event stream, when one is set, as
// "refresh-request" events: {"request": n, "state": "sent"} when it is handed over, then one of
// "answered" (with "status", and "discarded": true when the client had already ended the
// connection), "refused" (the daemon does not serve this user), "invalidated", "interrupted",
// "proxyError" or "noProtocol". A reply that never comes has no second event.
//
// Main thread, except where noted.
class SimRefreshConnector final : public RefreshConnector {
public:
    // `setup` absent: the component is not installed, and a connection is invalidated.
    SimRefreshConnector(std::optional<SimRefreshConnectorSetup> setup, std::string file, SimMainQueue& queue,
                      SimClock& clock, SimRegistry& registry, SimMobileDeviceList& devices, SimSystemLog& log);
    ~SimRefreshConnector() override;

    std::unique_ptr<RefreshConnection> connect(const std::string& serviceName, std::uint64_t options) override;
    // The Mac's install paths; both count as protected exactly when the file says installed.
    RefreshInstallation installation() const;

    // Where "refresh-request" events go; nullptr: nowhere. Must outlive its use.
    void setEventStream(EventStream* stream);

    // For tests: requests handed to the service, refresh commands the battery manager received
    // (any thread), and daemon launches.
    std::size_t requestCount() const;
    std::size_t commandCount() const;
    std::size_t launchCount() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace ampwell::platform::sim
