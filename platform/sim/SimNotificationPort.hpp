#pragma once

#include "platform/registry/Registry.hpp"
#include "platform/sim/SimRegistryState.hpp"

#include <cstdint>
#include <functional>
#include <memory>

namespace ampwell::platform::sim {

// A notification port of the simulated registry, delivering on its main queue. Counted as live,
// as are the iterators and interest handles it gives out. Destroying the port silences every
// notification armed on it, including deliveries already queued.
class SimNotificationPort final : public NotificationPort {
public:
    explicit SimNotificationPort(std::shared_ptr<SimRegistryState> state);

    // firstMatch puts the matching entries already present on the iterator; terminate starts
    // empty. Nothing is delivered until the iterator has been drained once (that arms it); from
    // then on every batch of added or removed entries queues one handler call. A call whose
    // entries an earlier call already drained finds the iterator empty.
    MatchingNotification addMatchingNotification(MatchingEvent event, const std::string& className,
                                                 std::function<void(ServiceIterator&)> handler) override;
    // kResultError when the entry is not a present entry of this registry. Every message sent to
    // the entry queues one handler call; removal sends kMessageServiceIsTerminated.
    InterestNotification addInterestNotification(const RegistryEntry& entry,
                                                 std::function<void(std::uint32_t)> handler) override;

private:
    SimHandleCount count_;
    std::shared_ptr<SimPortToken> token_;
};

// The iterator of a matching notification; destroying it disarms the notification.
class SimNotificationIterator final : public ServiceIterator {
public:
    explicit SimNotificationIterator(std::shared_ptr<SimRegistryState> state,
                                     std::shared_ptr<SimMatchingRegistration> registration);
    ~SimNotificationIterator() override;

    std::unique_ptr<RegistryEntry> next() override;
    // Notification iterators are never invalidated.
    bool isValid() const override { return true; }

private:
    SimHandleCount count_;
    std::shared_ptr<SimMatchingRegistration> registration_;
};

// Main-queue work that calls the handler of a registration, or does nothing once the
// registration or its port is gone.
std::function<void()> matchingDelivery(std::weak_ptr<SimMatchingRegistration> registration);
std::function<void()> interestDelivery(std::weak_ptr<SimInterestRegistration> registration,
                                       std::uint32_t messageType);

}  // namespace ampwell::platform::sim
