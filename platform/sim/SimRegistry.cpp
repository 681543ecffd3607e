#include "platform/sim/SimRegistry.hpp"

#include "platform/sim/SimNotificationPort.hpp"
#include "platform/sim/SimRegistryEntry.hpp"
#include "platform/sim/SimServiceIterator.hpp"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace ampwell::platform::sim {
namespace {

using Deliveries = std::vector<std::function<void()>>;
// Registrations looked at under the lock are released only after it, because releasing the last
// reference runs the handler's destructor, which may call back into the registry.
using Held = std::vector<std::shared_ptr<void>>;

std::string idText(EntryID id) { return std::to_string(id); }

// A cycle can only run through entries of the batch: entries already present never get a new
// parent. Reports the cycle at its entry that comes first in the batch.
void checkCycles(const std::vector<SimEntrySpec>& setups, const std::unordered_map<EntryID, std::size_t>& batch) {
    std::set<std::string> planes;
    for (const auto& entrySpec : setups)
        for (const auto& [plane, parent] : entrySpec.planes) planes.insert(plane);
    enum Mark : unsigned char { unvisited, onPath, done };
    for (const auto& plane : planes) {
        std::vector<Mark> marks(setups.size(), unvisited);
        for (std::size_t start = 0; start < setups.size(); ++start) {
            std::vector<std::size_t> path;
            std::size_t current = start;
            while (marks[current] != done) {
                if (marks[current] == onPath) {
                    const auto from = std::find(path.begin(), path.end(), current);
                    const std::size_t first = *std::min_element(from, path.end());
                    std::string text = idText(setups[first].id);
                    std::size_t step = first;
                    do {
                        step = batch.at(*setups[step].planes.at(plane));
                        text += " -> " + idText(setups[step].id);
                    } while (step != first);
                    throw SimRegistryError("the " + plane + " plane has a cycle: " + text, first, {"planes", plane});
                }
                marks[current] = onPath;
                path.push_back(current);
                const auto parent = setups[current].planes.find(plane);
                if (parent == setups[current].planes.end() || !parent->second) break;
                const auto inBatch = batch.find(*parent->second);
                if (inBatch == batch.end()) break;
                current = inBatch->second;
            }
            for (std::size_t index : path) marks[index] = done;
        }
    }
}

void validateBatch(const SimRegistryState& state, const std::vector<SimEntrySpec>& setups) {
    std::unordered_map<EntryID, std::size_t> batch;
    for (std::size_t i = 0; i < setups.size(); ++i) {
        const auto& entrySpec = setups[i];
        if (entrySpec.id == 0) throw SimRegistryError("entry ID 0 is not allowed", i, {"id"});
        if (state.byID.count(entrySpec.id) != 0 || !batch.emplace(entrySpec.id, i).second)
            throw SimRegistryError("entry ID " + idText(entrySpec.id) + " is already in use", i, {"id"});
        if (entrySpec.className.empty()) throw SimRegistryError("the class name is empty", i, {"class"});
    }
    for (std::size_t i = 0; i < setups.size(); ++i) {
        for (const auto& [plane, parent] : setups[i].planes) {
            if (parent && state.byID.count(*parent) == 0 && batch.count(*parent) == 0)
                throw SimRegistryError("parent " + idText(*parent) + " does not exist", i, {"planes", plane});
        }
    }
    checkCycles(setups, batch);
}

void collectMatching(SimRegistryState& state, MatchingEvent event, const std::vector<std::shared_ptr<SimNode>>& nodes,
                     Deliveries& deliveries, Held& held) {
    for (const auto& weak : state.matching) {
        auto registration = weak.lock();
        if (!registration || registration->event != event || registration->port.expired()) continue;
        bool any = false;
        for (const auto& node : nodes) {
            if (!node->conformsTo(registration->className)) continue;
            registration->pending.push_back(node);
            any = true;
        }
        if (any && registration->armed && state.queue != nullptr) deliveries.push_back(matchingDelivery(registration));
        held.push_back(std::move(registration));
    }
}

void collectInterest(SimRegistryState& state, const std::function<bool(const SimNode&)>& addressed,
                     std::uint32_t messageType, Deliveries& deliveries, Held& held) {
    for (const auto& weak : state.interest) {
        auto registration = weak.lock();
        if (!registration || registration->port.expired() || !addressed(*registration->node)) continue;
        if (state.queue != nullptr) deliveries.push_back(interestDelivery(registration, messageType));
        held.push_back(std::move(registration));
    }
}

std::shared_ptr<SimNode> findNode(const SimRegistryState& state, EntryID id) {
    const auto found = state.byID.find(id);
    if (found == state.byID.end()) throw SimRegistryError("no entry " + idText(id) + " is present at this time");
    return found->second;
}

}  // namespace

SimRegistryError::SimRegistryError(const std::string& message, std::size_t index, std::vector<std::string> field)
    : std::invalid_argument(message), index_(index), field_(std::move(field)) {}

SimRegistry::SimRegistry(MainQueue* queue) : state_(std::make_shared<SimRegistryState>(queue)) {}

ServiceMatch SimRegistry::matchingServices(const std::string& className) {
    std::lock_guard lock(state_->mutex);
    const auto failure = state_->matchingFailures.find(className);
    if (failure != state_->matchingFailures.end()) return {failure->second, nullptr};
    std::vector<std::shared_ptr<SimNode>> matches;
    for (const auto& node : state_->order)
        if (node->conformsTo(className)) matches.push_back(node);
    return {kResultSuccess,
            std::make_unique<SimServiceIterator>(state_, std::move(matches), state_->generation.load())};
}

std::unique_ptr<RegistryEntry> SimRegistry::firstMatchingService(const std::string& className) {
    std::lock_guard lock(state_->mutex);
    if (state_->matchingFailures.count(className) != 0) return nullptr;
    for (const auto& node : state_->order)
        if (node->conformsTo(className)) return std::make_unique<SimRegistryEntry>(state_, node);
    return nullptr;
}

std::unique_ptr<RegistryEntry> SimRegistry::entry(EntryID id) {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->byID.find(id);
    if (found == state_->byID.end()) return nullptr;
    return std::make_unique<SimRegistryEntry>(state_, found->second);
}

std::unique_ptr<NotificationPort> SimRegistry::createNotificationPort() {
    std::lock_guard lock(state_->mutex);
    if (state_->queue == nullptr || state_->notificationPortsFail) return nullptr;
    return std::make_unique<SimNotificationPort>(state_);
}

void SimRegistry::addEntries(std::vector<SimEntrySpec> setups) {
    Deliveries deliveries;
    Held held;
    {
        std::lock_guard lock(state_->mutex);
        validateBatch(*state_, setups);
        std::vector<std::shared_ptr<SimNode>> added;
        added.reserve(setups.size());
        for (auto& entrySpec : setups) {
            auto node = std::make_shared<SimNode>(std::move(entrySpec));
            state_->byID.emplace(node->id, node);
            state_->order.push_back(node);
            added.push_back(std::move(node));
        }
        // Linked only once the whole batch is in, as parents may come later in it.
        for (const auto& node : added) {
            for (const auto& [plane, parent] : node->parents)
                if (parent) state_->byID.at(*parent)->children[plane].push_back(node);
        }
        state_->generation.fetch_add(1);
        collectMatching(*state_, MatchingEvent::firstMatch, added, deliveries, held);
    }
    for (auto& delivery : deliveries) state_->queue->post(std::move(delivery));
}

void SimRegistry::addEntry(SimEntrySpec entrySpec) {
    std::vector<SimEntrySpec> setups;
    setups.push_back(std::move(entrySpec));
    addEntries(std::move(setups));
}

void SimRegistry::removeEntry(EntryID id) {
    Deliveries deliveries;
    Held held;
    {
        std::lock_guard lock(state_->mutex);
        const auto root = findNode(*state_, id);
        std::unordered_set<const SimNode*> doomed;
        std::vector<std::shared_ptr<SimNode>> stack{root};
        while (!stack.empty()) {
            auto node = std::move(stack.back());
            stack.pop_back();
            if (!doomed.insert(node.get()).second) continue;
            for (const auto& [plane, children] : node->children) stack.insert(stack.end(), children.begin(), children.end());
        }
        std::vector<std::shared_ptr<SimNode>> removed;
        for (const auto& node : state_->order)
            if (doomed.count(node.get()) != 0) removed.push_back(node);
        auto& order = state_->order;
        order.erase(std::remove_if(order.begin(), order.end(),
                                   [&](const auto& node) { return doomed.count(node.get()) != 0; }),
                    order.end());
        for (const auto& node : removed) state_->byID.erase(node->id);
        for (const auto& node : removed) {
            for (const auto& [plane, parent] : node->parents) {
                if (!parent) continue;
                const auto survivor = state_->byID.find(*parent);
                if (survivor == state_->byID.end()) continue;
                auto& siblings = survivor->second->children[plane];
                siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
                if (siblings.empty()) survivor->second->children.erase(plane);
            }
        }
        for (const auto& node : removed) {
            node->removed = true;
            node->children.clear();
        }
        state_->generation.fetch_add(1);
        collectInterest(*state_, [&](const SimNode& node) { return doomed.count(&node) != 0; },
                        kMessageServiceIsTerminated, deliveries, held);
        collectMatching(*state_, MatchingEvent::terminate, removed, deliveries, held);
    }
    for (auto& delivery : deliveries) state_->queue->post(std::move(delivery));
}

void SimRegistry::setProperties(EntryID id, const PropertyDictionary& changes,
                                const std::vector<std::string>& removedKeys) {
    std::lock_guard lock(state_->mutex);
    const auto node = findNode(*state_, id);
    for (const auto& [key, value] : changes) node->properties.insert_or_assign(key, value);
    for (const auto& key : removedKeys) node->properties.erase(key);
}

void SimRegistry::sendMessage(EntryID id, std::uint32_t messageType) {
    Deliveries deliveries;
    Held held;
    {
        std::lock_guard lock(state_->mutex);
        const auto node = findNode(*state_, id);
        collectInterest(*state_, [&](const SimNode& candidate) { return &candidate == node.get(); }, messageType,
                        deliveries, held);
    }
    for (auto& delivery : deliveries) state_->queue->post(std::move(delivery));
}

void SimRegistry::setMatchingResult(const std::string& className, std::int32_t result) {
    std::lock_guard lock(state_->mutex);
    if (result == kResultSuccess)
        state_->matchingFailures.erase(className);
    else
        state_->matchingFailures.insert_or_assign(className, result);
}

void SimRegistry::setNotificationPortsFail(bool fail) {
    std::lock_guard lock(state_->mutex);
    state_->notificationPortsFail = fail;
}

std::vector<SimEntrySpec> SimRegistry::subtree(EntryID id) const {
    std::lock_guard lock(state_->mutex);
    std::unordered_set<const SimNode*> members;
    std::vector<std::shared_ptr<SimNode>> stack{findNode(*state_, id)};
    while (!stack.empty()) {
        auto node = std::move(stack.back());
        stack.pop_back();
        if (!members.insert(node.get()).second) continue;
        for (const auto& [plane, children] : node->children) stack.insert(stack.end(), children.begin(), children.end());
    }
    std::vector<SimEntrySpec> setups;
    for (const auto& node : state_->order) {
        if (members.count(node.get()) == 0) continue;
        setups.push_back({node->id, node->className, node->conforms, node->parents, node->properties, node->propertiesFail});
    }
    return setups;
}

EntryID SimRegistry::highestEntryID() const {
    std::lock_guard lock(state_->mutex);
    EntryID highest = 0;
    for (const auto& node : state_->order) highest = std::max(highest, node->id);
    return highest;
}

bool SimRegistry::contains(EntryID id) const {
    std::lock_guard lock(state_->mutex);
    return state_->byID.count(id) != 0;
}

std::size_t SimRegistry::entryCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->order.size();
}

std::size_t SimRegistry::liveHandleCount() const { return state_->liveHandles.load(); }

}  // namespace ampwell::platform::sim
