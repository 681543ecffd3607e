#pragma once

#include "platform/base/PropertyValue.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform {

using EntryID = std::uint64_t;

// IOKit-style 32-bit result codes the registry hands back.
inline constexpr std::int32_t kResultSuccess = 0;
inline constexpr std::int32_t kResultError = static_cast<std::int32_t>(0xE00002BC);
inline constexpr std::int32_t kResultNoResources = static_cast<std::int32_t>(0xE00002BE);

inline constexpr const char* kServicePlane = "IOService";
inline constexpr const char* kPortPlane = "IOPort";

// A retained handle on one registry entry. Destroying the handle releases it, so every path that
// drops an entry also releases it. Handles are safe to use from any thread; each call may block
// briefly on the backend's lock but never on the hardware.
class RegistryEntry {
public:
    virtual ~RegistryEntry() = default;

    // The entry's non-zero registry entry ID.
    virtual EntryID entryID() const = 0;
    // The entry's own class name.
    virtual std::string className() const = 0;
    // True when the entry is of the class or conforms to it.
    virtual bool conformsTo(const std::string& className) const = 0;
    // All properties; nullopt when the registry refuses them (which is not the same as none).
    virtual std::optional<PropertyDictionary> properties() const = 0;
    // One property; nullopt when the entry lacks it or the read is refused.
    virtual std::optional<PropertyValue> property(const std::string& key) const = 0;
    // The parent in the plane; nullptr for a root, an entry not in the plane, or a gone entry.
    virtual std::unique_ptr<RegistryEntry> parent(const std::string& plane) const = 0;
    // The children in the plane, in registry order.
    virtual std::vector<std::unique_ptr<RegistryEntry>> children(const std::string& plane) const = 0;
    // True when the entry is attached in the plane.
    virtual bool inPlane(const std::string& plane) const = 0;
};

// A walk over matching services, as IOKit's iterator: entries come one at a time in registry
// order, and `isValid` turns false when the registry changed after the iterator was made.
class ServiceIterator {
public:
    virtual ~ServiceIterator() = default;
    // The next entry, or nullptr at the end.
    virtual std::unique_ptr<RegistryEntry> next() = 0;
    // False once the registry changed since the iterator was made (or last reset).
    virtual bool isValid() const = 0;
};

struct ServiceMatch {
    std::int32_t result = kResultSuccess;
    std::unique_ptr<ServiceIterator> iterator;  // present exactly when result == kResultSuccess
};

enum class MatchingEvent { firstMatch, terminate };

// Handle of an armed notification; destroying it disarms the notification.
class NotificationHandle {
public:
    virtual ~NotificationHandle() = default;
};

struct MatchingNotification {
    std::int32_t result = kResultSuccess;
    // The iterator that carries the entries of each event; draining it arms the notification.
    // The handler is given this same iterator. Destroying it disarms the notification.
    std::unique_ptr<ServiceIterator> iterator;
};

struct InterestNotification {
    std::int32_t result = kResultSuccess;
    std::unique_ptr<NotificationHandle> handle;  // present exactly when result == kResultSuccess
};

// A notification port bound to the main queue: every handler runs on the main thread, never while
// the port is being destroyed, and never after the port or the notification is gone (a delivery
// that was already queued then does nothing). Main thread only.
class NotificationPort {
public:
    virtual ~NotificationPort() = default;

    // Services of `className` that appear (firstMatch) or go away (terminate). Entries already
    // present are put on the returned iterator; they are not reported as events.
    virtual MatchingNotification addMatchingNotification(
        MatchingEvent event, const std::string& className,
        std::function<void(ServiceIterator&)> handler) = 0;

    // General-interest messages (32-bit message type) sent to one entry.
    virtual InterestNotification addInterestNotification(
        const RegistryEntry& entry, std::function<void(std::uint32_t messageType)> handler) = 0;
};

// The I/O registry as the logic uses it. Thread-safe: the battery worker walks it while the main
// thread reads snapshots.
class Registry {
public:
    virtual ~Registry() = default;

    // All services of the class (or conforming to it), in registry order.
    virtual ServiceMatch matchingServices(const std::string& className) = 0;
    // The first service of the class, or nullptr.
    virtual std::unique_ptr<RegistryEntry> firstMatchingService(const std::string& className) = 0;
    // The entry with that ID, or nullptr when no such entry is present.
    virtual std::unique_ptr<RegistryEntry> entry(EntryID id) = 0;
    // A new notification port on the main queue; nullptr when none can be made.
    virtual std::unique_ptr<NotificationPort> createNotificationPort() = 0;
    // What user texts call the machine whose registry this is ("这台 Mac …", "这台电脑…").
    virtual std::string machineNoun() const { return "Mac"; }
};

// Collects an iterator's entries (helper for code that needs no validity check).
std::vector<std::unique_ptr<RegistryEntry>> drain(ServiceIterator& iterator);

}  // namespace ampwell::platform
