#pragma once

#include "platform/base/MainQueue.hpp"
#include "platform/registry/Registry.hpp"
#include "platform/sim/SimEntry.hpp"
#include "platform/sim/SimRegistryState.hpp"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ampwell::platform::sim {

// The message a registry sends to the interest notifications of an entry that goes away.
inline constexpr std::uint32_t kMessageServiceIsTerminated = 0xE0000010;

// A change the simulated registry refuses. For addEntries it names the entry description at fault (its index
// in the batch) and the field within it ({"id"}, {"class"} or {"planes", <plane>}), so that the
// loader can point at the place in the file.
class SimRegistryError : public std::invalid_argument {
public:
    explicit SimRegistryError(const std::string& message, std::size_t index = 0, std::vector<std::string> field = {});
    std::size_t index() const { return index_; }
    const std::vector<std::string>& field() const { return field_; }

private:
    std::size_t index_;
    std::vector<std::string> field_;
};

// The simulated I/O registry, built from the simulation file or directly from C++.
//
// Entries keep the order they were added in (the registry order every walk sees). Children in a
// plane follow from the parents the entries name; an entry that is only named as a parent is the
// plane's root. Every handle given out (entries, iterators, notification ports, iterators and
// handles of notifications) is counted until destroyed; see liveHandleCount().
//
// Thread-safe: every call may come from any thread. Notifications are delivered on `queue` (the
// main queue); without a queue no notification port can be made.
class SimRegistry final : public Registry {
public:
    explicit SimRegistry(MainQueue* queue = nullptr);

    ServiceMatch matchingServices(const std::string& className) override;
    std::unique_ptr<RegistryEntry> firstMatchingService(const std::string& className) override;
    std::unique_ptr<RegistryEntry> entry(EntryID id) override;
    std::unique_ptr<NotificationPort> createNotificationPort() override;

    // Adds the entries as one batch: first-match notifications fire once for the whole batch.
    // Parents may be present already or come in the same batch, in any order. Throws
    // SimRegistryError (and adds nothing) for a zero ID, an ID in use, an empty class name, a
    // parent that is not present, or a cycle in a plane.
    void addEntries(std::vector<SimEntrySpec> setups);
    void addEntry(SimEntrySpec entrySpec);
    // Removes the entry and every descendant in every plane as one batch (one terminate
    // notification call); each removed entry's interest notifications get
    // kMessageServiceIsTerminated. Throws SimRegistryError when no such entry is present.
    void removeEntry(EntryID id);
    // Merges `changes` into the entry's properties and deletes the keys in `removedKeys`.
    // No notification fires and iterators stay valid. Throws SimRegistryError for an unknown ID.
    void setProperties(EntryID id, const PropertyDictionary& changes, const std::vector<std::string>& removedKeys = {});
    // Queues the general-interest message to every interest notification of the entry.
    // Throws SimRegistryError for an unknown ID.
    void sendMessage(EntryID id, std::uint32_t messageType);

    // Scripted failures: matching `className` (walks and matching notifications) returns
    // `result` (kResultSuccess clears it); createNotificationPort() returns nullptr while set.
    void setMatchingResult(const std::string& className, std::int32_t result);
    void setNotificationPortsFail(bool fail);

    // The entry and its descendants in every plane, in registry order, as setups that addEntries
    // takes back (current properties included). Throws SimRegistryError for an unknown ID.
    std::vector<SimEntrySpec> subtree(EntryID id) const;
    // The largest ID present; 0 when the registry is empty.
    EntryID highestEntryID() const;

    bool contains(EntryID id) const;
    std::size_t entryCount() const;
    // Handles given out and not yet destroyed.
    std::size_t liveHandleCount() const;

private:
    std::shared_ptr<SimRegistryState> state_;
};

}  // namespace ampwell::platform::sim
