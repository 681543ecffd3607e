#include "platform/sim/SimRefreshConnector.hpp"

#include "contract/PowerRefreshService.hpp"
#include "daemon/RefreshHelper.hpp"
#include "platform/sim/SimBatteryManager.hpp"
#include "platform/sim/SimTimeline.hpp"

#include <stdexcept>
#include <utility>

namespace ampwell::platform::sim {
namespace {

constexpr const char* kEvent = "refresh-request";

// One connection's side that the service's posted work looks at. Main thread only.
struct ConnectionState {
    bool released = false;
    bool invalidated = false;
    std::function<void()> invalidation;
    std::function<void()> interruption;

    bool isOpen() const { return !released && !invalidated; }
};

}  // namespace

struct SimRefreshConnector::State : std::enable_shared_from_this<SimRefreshConnector::State> {
    State(std::optional<SimRefreshConnectorSetup> setup, std::string file, SimMainQueue& queue, SimClock& clock,
          SimRegistry& registry, SimMobileDeviceList& devices, SimSystemLog& log)
        : setup(std::move(setup)),
          file(std::move(file)),
          queue(queue),
          clock(clock),
          registry(registry),
          devices(devices),
          log(log),
          batteryManager([this](const std::vector<SimTimelineEvent>& actions) { perform(actions); }) {}

    void emit(std::size_t request, const char* state, std::optional<std::uint32_t> status = std::nullopt,
              bool discarded = false) {
        if (!events) return;
        nlohmann::json fields{{"request", request}, {"state", state}};
        if (status) fields["status"] = *status;
        if (discarded) fields["discarded"] = true;
        events->emit(kEvent, fields);
    }

    const SimRefreshScript& scriptFor(std::size_t request) const {
        if (request - 1 < setup->requests.size()) return setup->requests[request - 1];
        return setup->script;
    }

    // Runs on the daemon's operation queue: the actions happen on the main queue, timed from now.
    void perform(const std::vector<SimTimelineEvent>& actions) {
        const double now = clock.elapsed();
        std::weak_ptr<State> weak = weak_from_this();
        for (const auto& action : actions) {
            queue.postAt(now + action.at, [weak, action] {
                auto self = weak.lock();
                if (!self) return;
                try {
                    applyTimelineEvent(action, self->registry, self->devices);
                } catch (const std::invalid_argument& error) {
                    self->log.write("simulation: " + self->file + ": " + action.path + ": " + error.what());
                }
            });
        }
    }

    RefreshHelper& daemon() {
        if (!helper) {
            ++launches;
            std::weak_ptr<State> weak = weak_from_this();
            helper = std::make_unique<RefreshHelper>(batteryManager, queue, clock, kSimAllowedUserID, [weak](int) {
                // The daemon ends; it is let go outside its own work item, and the next connection
                // launches a fresh one with a fresh rate limiter.
                auto self = weak.lock();
                if (!self || !self->helper) return;
                std::shared_ptr<RefreshHelper> ended(std::move(self->helper));
                self->queue.post([ended] {});
            });
            helper->postponeExit();
        }
        return *helper;
    }

    void endFromService(const std::shared_ptr<ConnectionState>& connection, std::size_t request, const char* why) {
        std::weak_ptr<State> weak = weak_from_this();
        queue.post([weak, connection, request, why] {
            auto self = weak.lock();
            if (!self || !connection->isOpen()) return;
            connection->invalidated = true;
            self->emit(request, why);
            if (auto handler = std::exchange(connection->invalidation, nullptr)) handler();
        });
    }

    bool handle(const std::shared_ptr<ConnectionState>& connection, std::function<void(std::uint32_t)> reply,
                std::function<void()> proxyError) {
        const std::size_t request = ++requests;
        emit(request, "sent");
        if (!setup) {
            endFromService(connection, request, "invalidated");
            return true;
        }
        const SimRefreshScript& script = scriptFor(request);
        std::weak_ptr<State> weak = weak_from_this();
        switch (script.connection) {
        case SimRefreshConnectionBehaviour::noProtocol: emit(request, "noProtocol"); return false;
        case SimRefreshConnectionBehaviour::proxyError:
            queue.post([weak, connection, request, proxyError] {
                auto self = weak.lock();
                if (!self || !connection->isOpen()) return;
                self->emit(request, "proxyError");
                if (proxyError) proxyError();
            });
            return true;
        case SimRefreshConnectionBehaviour::invalidated: endFromService(connection, request, "invalidated"); return true;
        case SimRefreshConnectionBehaviour::normal:
        case SimRefreshConnectionBehaviour::interrupted: break;
        }
        RefreshHelper& helper = daemon();
        if (!helper.shouldAcceptNewConnection(RefreshPeer{setup->userID, 0})) {
            endFromService(connection, request, "refused");
            return true;
        }
        batteryManager.setScript(script);
        const bool interrupted = script.connection == SimRefreshConnectionBehaviour::interrupted;
        const std::optional<double> delay = script.replyDelay;
        helper.requestRefresh([weak, connection, request, reply, interrupted, delay](std::uint32_t status) {
            // On the daemon's operation queue.
            auto self = weak.lock();
            if (!self) return;
            if (interrupted) {
                self->queue.post([weak, connection, request] {
                    auto state = weak.lock();
                    if (!state || !connection->isOpen()) return;
                    state->emit(request, "interrupted");
                    if (connection->interruption) connection->interruption();
                });
                return;
            }
            if (!delay) return;
            self->queue.postAt(self->clock.elapsed() + *delay, [weak, connection, request, reply, status] {
                auto state = weak.lock();
                if (!state) return;
                const bool discarded = !connection->isOpen();
                state->emit(request, "answered", status, discarded);
                if (!discarded && reply) reply(status);
            });
        });
        return true;
    }

    std::optional<SimRefreshConnectorSetup> setup;
    std::string file;
    SimMainQueue& queue;
    SimClock& clock;
    SimRegistry& registry;
    SimMobileDeviceList& devices;
    SimSystemLog& log;
    SimBatteryManager batteryManager;
    EventStream* events = nullptr;
    std::unique_ptr<RefreshHelper> helper;
    std::size_t requests = 0;
    std::size_t launches = 0;
};

namespace {

class SimRefreshConnection final : public RefreshConnection {
public:
    explicit SimRefreshConnection(std::shared_ptr<SimRefreshConnector::State> service)
        : service_(service), state_(std::make_shared<ConnectionState>()) {}
    ~SimRefreshConnection() override { state_->released = true; }

    void setInvalidationHandler(std::function<void()> handler) override { state_->invalidation = std::move(handler); }
    void setInterruptionHandler(std::function<void()> handler) override { state_->interruption = std::move(handler); }
    void resume() override {}

    bool requestRefresh(std::function<void(std::uint32_t)> reply, std::function<void()> proxyError) override {
        auto service = service_.lock();
        if (!service || !state_->isOpen()) return true;
        return service->handle(state_, std::move(reply), std::move(proxyError));
    }

    void invalidate() override {
        if (!state_->isOpen()) return;
        state_->invalidated = true;
        auto service = service_.lock();
        auto handler = std::exchange(state_->invalidation, nullptr);
        if (!service || !handler) return;
        auto connection = state_;
        service->queue.post([connection, handler] {
            if (!connection->released) handler();
        });
    }

private:
    std::weak_ptr<SimRefreshConnector::State> service_;
    std::shared_ptr<ConnectionState> state_;
};

}  // namespace

SimRefreshConnector::SimRefreshConnector(std::optional<SimRefreshConnectorSetup> setup, std::string file, SimMainQueue& queue,
                                     SimClock& clock, SimRegistry& registry, SimMobileDeviceList& devices,
                                     SimSystemLog& log)
    : state_(std::make_shared<State>(std::move(setup), std::move(file), queue, clock, registry, devices, log)) {}

SimRefreshConnector::~SimRefreshConnector() {
    // Ends the daemon's operation queue while the state is still owned here, so that no reply
    // handed over from that queue can be the last owner of the state.
    state_->helper.reset();
}

std::unique_ptr<RefreshConnection> SimRefreshConnector::connect(const std::string&, std::uint64_t) {
    return std::make_unique<SimRefreshConnection>(state_);
}

RefreshInstallation SimRefreshConnector::installation() const {
    const bool installed = state_->setup && state_->setup->installed;
    const auto paths = PowerRefreshService::macInstalledPaths();
    return RefreshInstallation{paths.helperPath, paths.launchDaemonPath,
                               [installed, paths](const std::string& path) {
                                   return installed && (path == paths.helperPath || path == paths.launchDaemonPath);
                               },
                               true};
}

void SimRefreshConnector::setEventStream(EventStream* stream) { state_->events = stream; }

std::size_t SimRefreshConnector::requestCount() const { return state_->requests; }
std::size_t SimRefreshConnector::commandCount() const { return state_->batteryManager.commandCount(); }
std::size_t SimRefreshConnector::launchCount() const { return state_->launches; }

}  // namespace ampwell::platform::sim
