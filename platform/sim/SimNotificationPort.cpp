#include "platform/sim/SimNotificationPort.hpp"

#include "platform/sim/SimRegistryEntry.hpp"

#include <algorithm>

namespace ampwell::platform::sim {
namespace {

// Owns the registration of an interest notification; counted as live.
class SimInterestHandle final : public NotificationHandle {
public:
    SimInterestHandle(std::shared_ptr<SimRegistryState> state, std::shared_ptr<SimInterestRegistration> registration)
        : count_(std::move(state)), registration_(std::move(registration)) {}

private:
    SimHandleCount count_;
    std::shared_ptr<SimInterestRegistration> registration_;
};

template <typename T>
void dropExpired(std::vector<std::weak_ptr<T>>& list) {
    list.erase(std::remove_if(list.begin(), list.end(), [](const auto& weak) { return weak.expired(); }), list.end());
}

}  // namespace

SimNotificationPort::SimNotificationPort(std::shared_ptr<SimRegistryState> state)
    : count_(std::move(state)), token_(std::make_shared<SimPortToken>()) {}

MatchingNotification SimNotificationPort::addMatchingNotification(MatchingEvent event, const std::string& className,
                                                                  std::function<void(ServiceIterator&)> handler) {
    auto& state = count_.state();
    auto registration = std::make_shared<SimMatchingRegistration>();
    registration->event = event;
    registration->className = className;
    registration->port = token_;
    registration->handler = std::move(handler);
    {
        std::lock_guard lock(state.mutex);
        const auto failure = state.matchingFailures.find(className);
        if (failure != state.matchingFailures.end()) return {failure->second, nullptr};
        if (event == MatchingEvent::firstMatch) {
            for (const auto& node : state.order)
                if (node->conformsTo(className)) registration->pending.push_back(node);
        }
        dropExpired(state.matching);
        state.matching.push_back(registration);
    }
    return {kResultSuccess, std::make_unique<SimNotificationIterator>(count_.shared(), std::move(registration))};
}

InterestNotification SimNotificationPort::addInterestNotification(const RegistryEntry& entry,
                                                                  std::function<void(std::uint32_t)> handler) {
    auto& state = count_.state();
    const auto* simEntry = dynamic_cast<const SimRegistryEntry*>(&entry);
    if (simEntry == nullptr || simEntry->owner() != &state) return {kResultError, nullptr};
    auto registration = std::make_shared<SimInterestRegistration>();
    registration->node = simEntry->node();
    registration->port = token_;
    registration->handler = std::move(handler);
    {
        std::lock_guard lock(state.mutex);
        if (registration->node->removed) return {kResultError, nullptr};
        dropExpired(state.interest);
        state.interest.push_back(registration);
    }
    return {kResultSuccess, std::make_unique<SimInterestHandle>(count_.shared(), std::move(registration))};
}

SimNotificationIterator::SimNotificationIterator(std::shared_ptr<SimRegistryState> state,
                                                 std::shared_ptr<SimMatchingRegistration> registration)
    : count_(std::move(state)), registration_(std::move(registration)) {
    registration_->iterator = this;
}

SimNotificationIterator::~SimNotificationIterator() { registration_->iterator = nullptr; }

std::unique_ptr<RegistryEntry> SimNotificationIterator::next() {
    std::shared_ptr<SimNode> node;
    {
        std::lock_guard lock(count_.state().mutex);
        if (registration_->pending.empty()) {
            registration_->armed = true;
            return nullptr;
        }
        node = std::move(registration_->pending.front());
        registration_->pending.pop_front();
    }
    return std::make_unique<SimRegistryEntry>(count_.shared(), std::move(node));
}

std::function<void()> matchingDelivery(std::weak_ptr<SimMatchingRegistration> weak) {
    return [weak = std::move(weak)] {
        // Keeps the registration (and its handler) alive for the call, even when the handler
        // destroys its own iterator or port.
        const auto registration = weak.lock();
        if (!registration || registration->port.expired() || registration->iterator == nullptr ||
            !registration->handler)
            return;
        registration->handler(*registration->iterator);
    };
}

std::function<void()> interestDelivery(std::weak_ptr<SimInterestRegistration> weak, std::uint32_t messageType) {
    return [weak = std::move(weak), messageType] {
        const auto registration = weak.lock();
        if (!registration || registration->port.expired() || !registration->handler) return;
        registration->handler(messageType);
    };
}

}  // namespace ampwell::platform::sim
