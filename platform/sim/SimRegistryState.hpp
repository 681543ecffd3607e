#pragma once

#include "platform/base/MainQueue.hpp"
#include "platform/registry/Registry.hpp"
#include "platform/sim/SimEntry.hpp"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ampwell::platform::sim {

class SimNotificationIterator;

// One entry of the simulated registry. Identity, class and parents never change once added;
// the fields marked "guarded" are read and written only with the registry's mutex held.
struct SimNode {
    explicit SimNode(SimEntrySpec entrySpec);

    const EntryID id;
    const std::string className;
    const std::vector<std::string> conforms;
    const std::map<std::string, std::optional<EntryID>> parents;
    const bool propertiesFail;

    PropertyDictionary properties;                                          // guarded
    std::map<std::string, std::vector<std::shared_ptr<SimNode>>> children;  // guarded, registry order
    bool removed = false;                                                   // guarded

    bool conformsTo(const std::string& name) const;
};

// Lives exactly as long as its notification port; deliveries check it before they run.
struct SimPortToken {};

struct SimMatchingRegistration {
    MatchingEvent event = MatchingEvent::firstMatch;
    std::string className;
    std::weak_ptr<SimPortToken> port;
    std::function<void(ServiceIterator&)> handler;  // main thread only
    SimNotificationIterator* iterator = nullptr;     // main thread only; null once it is destroyed
    std::deque<std::shared_ptr<SimNode>> pending;    // guarded
    bool armed = false;                              // guarded: set once the iterator was drained
};

struct SimInterestRegistration {
    std::shared_ptr<SimNode> node;
    std::weak_ptr<SimPortToken> port;
    std::function<void(std::uint32_t)> handler;  // main thread only
};

// Everything the registry and the handles it gives out share. Handles keep it alive, so a handle
// that outlives its registry stays safe to use.
struct SimRegistryState {
    explicit SimRegistryState(MainQueue* queue) : queue(queue) {}
    // Parents hold their children, so two entries that are each other's parent in two planes hold
    // each other; the links are cut here, when nothing can walk them any more.
    ~SimRegistryState();
    SimRegistryState(const SimRegistryState&) = delete;
    SimRegistryState& operator=(const SimRegistryState&) = delete;

    mutable std::mutex mutex;
    std::vector<std::shared_ptr<SimNode>> order;                     // guarded, registry order
    std::unordered_map<EntryID, std::shared_ptr<SimNode>> byID;      // guarded
    std::map<std::string, std::int32_t> matchingFailures;            // guarded
    bool notificationPortsFail = false;                              // guarded
    std::vector<std::weak_ptr<SimMatchingRegistration>> matching;    // guarded
    std::vector<std::weak_ptr<SimInterestRegistration>> interest;    // guarded
    std::atomic<std::uint64_t> generation{0};
    std::atomic<std::size_t> liveHandles{0};
    MainQueue* const queue;  // where notifications are delivered; null: no notification ports
};

// Member of every handle the simulated registry gives out: counts the handle as live while it
// exists and keeps the shared state alive.
class SimHandleCount {
public:
    explicit SimHandleCount(std::shared_ptr<SimRegistryState> state);
    ~SimHandleCount();
    SimHandleCount(const SimHandleCount&) = delete;
    SimHandleCount& operator=(const SimHandleCount&) = delete;

    SimRegistryState& state() const { return *state_; }
    const std::shared_ptr<SimRegistryState>& shared() const { return state_; }

private:
    std::shared_ptr<SimRegistryState> state_;
};

}  // namespace ampwell::platform::sim
