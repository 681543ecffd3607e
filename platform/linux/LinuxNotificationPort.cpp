#include "platform/linux/LinuxNotificationPort.hpp"

#include "platform/linux/LinuxRegistryEntry.hpp"
#include "platform/registry/RegistryNames.hpp"

#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace ampwell::platform::linux_ {

namespace {

class NotificationIterator;

struct Matching {
    MatchingEvent event;
    std::string className;
    std::function<void(ServiceIterator&)> handler;
    NotificationIterator* iterator = nullptr;
    std::shared_ptr<const RegistrySnapshot> seen;
    bool batterySeen = false;
};

struct Interest {
    EntryID id = 0;
    std::function<void(std::uint32_t)> handler;
};

}  // namespace

struct LinuxNotificationPort::State : std::enable_shared_from_this<State> {
    std::shared_ptr<RegistryCore> core;
    std::unique_ptr<SharedUdevMonitor::Subscription> subscription;
    bool alive = true;
    std::uint64_t nextToken = 1;
    std::map<std::uint64_t, Matching> matchings;  // in arming order
    std::map<std::uint64_t, Interest> interests;

    void onBatch(const UdevBatch& batch);
    std::vector<std::unique_ptr<RegistryEntry>> changes(Matching& matching, const UdevBatch& batch,
                                                        const std::shared_ptr<const RegistrySnapshot>& snapshot,
                                                        bool batteryNow);
};

namespace {

// The iterator of one armed matching notification: refilled with each batch. Destroying it
// disarms the notification.
class NotificationIterator final : public ServiceIterator {
public:
    NotificationIterator(std::weak_ptr<LinuxNotificationPort::State> state, std::uint64_t token)
        : state_(std::move(state)), token_(token) {}
    ~NotificationIterator() override {
        if (auto state = state_.lock()) state->matchings.erase(token_);
    }
    std::unique_ptr<RegistryEntry> next() override {
        if (entries_.empty()) return nullptr;
        auto entry = std::move(entries_.front());
        entries_.pop_front();
        return entry;
    }
    bool isValid() const override { return true; }
    void load(std::vector<std::unique_ptr<RegistryEntry>> entries) {
        entries_.clear();
        for (auto& entry : entries) entries_.push_back(std::move(entry));
    }

private:
    std::weak_ptr<LinuxNotificationPort::State> state_;
    std::uint64_t token_;
    std::deque<std::unique_ptr<RegistryEntry>> entries_;
};

class InterestHandle final : public NotificationHandle {
public:
    InterestHandle(std::weak_ptr<LinuxNotificationPort::State> state, std::uint64_t token)
        : state_(std::move(state)), token_(token) {}
    ~InterestHandle() override {
        if (auto state = state_.lock()) state->interests.erase(token_);
    }

private:
    std::weak_ptr<LinuxNotificationPort::State> state_;
    std::uint64_t token_;
};

std::set<EntryID> conformingIDs(const std::shared_ptr<const RegistrySnapshot>& snapshot, const std::string& className) {
    std::set<EntryID> ids;
    if (snapshot)
        for (const auto& node : snapshot->nodes())
            if (nodeConformsTo(node.kind, className)) ids.insert(node.id);
    return ids;
}

}  // namespace

std::vector<std::unique_ptr<RegistryEntry>> LinuxNotificationPort::State::changes(
    Matching& matching, const UdevBatch& batch, const std::shared_ptr<const RegistrySnapshot>& snapshot,
    bool batteryNow) {
    std::vector<std::unique_ptr<RegistryEntry>> entries;
    const bool firstMatch = matching.event == MatchingEvent::firstMatch;
    if (batch.usbDevices && usbKindsConformTo(matching.className)) {
        const auto before = conformingIDs(matching.seen, matching.className);
        const auto after = conformingIDs(snapshot, matching.className);
        // New entries come from the new snapshot, gone ones from the snapshot they were seen in.
        const auto& from = firstMatch ? snapshot : matching.seen;
        const auto& other = firstMatch ? before : after;
        if (from)
            for (const auto& node : from->nodes())
                if (nodeConformsTo(node.kind, matching.className) && other.count(node.id) == 0)
                    entries.push_back(std::make_unique<LinuxRegistryEntry>(core, from, node));
        matching.seen = snapshot;
    }
    if (batch.power && batteryConformsTo(matching.className) && batteryNow != matching.batterySeen) {
        if (batteryNow == firstMatch) entries.push_back(std::make_unique<LinuxRegistryEntry>(core));
        matching.batterySeen = batteryNow;
    }
    return entries;
}

void LinuxNotificationPort::State::onBatch(const UdevBatch& batch) {
    auto keepAlive = shared_from_this();
    if (batch.power) core->notePowerChange(core->clock().now());
    // The bus is listed again only when a notification here may need it.
    const bool usbWatched = std::any_of(matchings.begin(), matchings.end(),
                                        [](const auto& item) { return usbKindsConformTo(item.second.className); });
    const auto snapshot = batch.usbDevices && usbWatched ? core->usbSnapshot() : nullptr;
    const bool batteryNow = batch.power && core->batteryPresent();

    // Only notifications armed before this batch hear of it: one that a handler arms on the power
    // manager that just appeared would otherwise take its appearance for a change of it.
    std::vector<std::uint64_t> interestTokens;
    for (const auto& [token, interest] : interests) interestTokens.push_back(token);
    std::vector<std::uint64_t> tokens;
    for (const auto& [token, matching] : matchings) tokens.push_back(token);
    for (auto token : tokens) {
        auto found = matchings.find(token);
        if (!alive) return;
        if (found == matchings.end()) continue;
        auto entries = changes(found->second, batch, snapshot, batteryNow);
        if (entries.empty()) continue;
        found->second.iterator->load(std::move(entries));
        // Copies, so that a handler that disarms its own notification does not pull them away.
        auto handler = found->second.handler;
        NotificationIterator* iterator = found->second.iterator;
        handler(*iterator);
    }
    if (!batch.power) return;
    for (auto token : interestTokens) {
        auto found = interests.find(token);
        if (!alive) return;
        if (found == interests.end() || found->second.id != core->batteryID()) continue;
        auto handler = found->second.handler;
        handler(messages::kBatteryStatusChanged);
    }
}

std::unique_ptr<LinuxNotificationPort> LinuxNotificationPort::open(std::shared_ptr<RegistryCore> core,
                                                                   SharedUdevMonitor& monitor) {
    auto state = std::make_shared<State>();
    state->core = std::move(core);
    state->subscription = monitor.subscribe([weak = std::weak_ptr<State>(state)](const UdevBatch& batch) {
        if (auto state = weak.lock()) state->onBatch(batch);
    });
    if (!state->subscription) return nullptr;
    return std::unique_ptr<LinuxNotificationPort>(new LinuxNotificationPort(std::move(state)));
}

LinuxNotificationPort::LinuxNotificationPort(std::shared_ptr<State> state) : state_(std::move(state)) {}

LinuxNotificationPort::~LinuxNotificationPort() {
    state_->alive = false;
    state_->subscription.reset();
    state_->matchings.clear();
    state_->interests.clear();
}

MatchingNotification LinuxNotificationPort::addMatchingNotification(MatchingEvent event, const std::string& className,
                                                                    std::function<void(ServiceIterator&)> handler) {
    const std::uint64_t token = state_->nextToken++;
    auto iterator = std::make_unique<NotificationIterator>(state_, token);
    Matching matching{event, className, std::move(handler), iterator.get(), nullptr, false};
    if (usbKindsConformTo(className)) matching.seen = state_->core->usbSnapshot();
    if (batteryConformsTo(className)) matching.batterySeen = state_->core->batteryPresent();
    if (event == MatchingEvent::firstMatch)
        iterator->load(LinuxRegistryEntry::matching(state_->core, matching.seen, className, matching.batterySeen));
    state_->matchings.emplace(token, std::move(matching));
    return MatchingNotification{kResultSuccess, std::move(iterator)};
}

InterestNotification LinuxNotificationPort::addInterestNotification(const RegistryEntry& entry,
                                                                    std::function<void(std::uint32_t)> handler) {
    const EntryID id = entry.entryID();
    const bool present = id == state_->core->batteryID() ? state_->core->batteryPresent()
                                                         : state_->core->usbSnapshot()->find(id) != nullptr;
    if (!present) return InterestNotification{kResultError, nullptr};
    const std::uint64_t token = state_->nextToken++;
    state_->interests.emplace(token, Interest{id, std::move(handler)});
    return InterestNotification{kResultSuccess, std::make_unique<InterestHandle>(state_, token)};
}

}  // namespace ampwell::platform::linux_
