#include "platform/sim/SimUsbHost.hpp"

#include <algorithm>
#include <charconv>

namespace ampwell::platform::sim {

namespace {

constexpr const char* kDeviceClass = "IOUSBHostDevice";
constexpr const char* kErrorDomain = "IOKit";
constexpr std::int32_t kResultNoDevice = static_cast<std::int32_t>(0xE00002C0);
constexpr std::int32_t kResultUnsupported = static_cast<std::int32_t>(0xE00002C7);

UsbHostError noDevice() { return UsbHostError{kErrorDomain, kResultNoDevice, "The device is no longer attached."}; }

std::optional<std::uint64_t> wholeSession(const PropertyValue* value) {
    const PropertyNumber* number = value ? value->number() : nullptr;
    if (!number || !number->whole) return std::nullopt;
    std::uint64_t session = 0;
    auto [end, error] = std::from_chars(number->text.data(), number->text.data() + number->text.size(), session);
    if (error != std::errc() || end != number->text.data() + number->text.size()) return std::nullopt;
    return session;
}

}  // namespace

struct SimUsbHost::State {
    State(SimRegistry& registry, EntryID reserved) : registry(registry), lastID(reserved) {}

    SimRegistry& registry;
    mutable std::mutex mutex;
    std::map<EntryID, SimUsbScript> scripts;  // guarded
    std::vector<EntryID> resetCalls;          // guarded
    std::size_t openClients = 0;              // guarded
    EntryID lastID;                           // guarded: highest ID handed out or reserved
    std::uint64_t lastSession = 0;            // guarded: highest session handed out
    SimUsbHost::ResetObserver observer;       // guarded

    void tellReset(EntryID id, const std::optional<UsbHostError>& error) const {
        SimUsbHost::ResetObserver copy;
        {
            std::lock_guard lock(mutex);
            copy = observer;
        }
        if (copy) copy(id, error);
    }

    std::optional<SimUsbScript> scriptFor(EntryID id) const {
        std::lock_guard lock(mutex);
        auto found = scripts.find(id);
        return found == scripts.end() ? std::nullopt : std::optional(found->second);
    }

    // Takes the device's subtree out and puts it back under fresh IDs, the device with a fresh
    // session, as the bus does after a port reset. Returns the device's new ID.
    EntryID reenumerate(EntryID id) {
        std::lock_guard lock(mutex);  // one re-enumeration at a time; the registry never calls back
        std::vector<SimEntrySpec> specs = registry.subtree(id);
        std::uint64_t highestSession = 0;
        auto devices = registry.matchingServices(kDeviceClass);
        if (devices.iterator)
            while (auto device = devices.iterator->next()) {
                const std::optional<PropertyValue> session = device->property("sessionID");
                highestSession = std::max(highestSession, wholeSession(session ? &*session : nullptr).value_or(0));
            }
        devices.iterator.reset();

        lastID = std::max(lastID, registry.highestEntryID());
        std::map<EntryID, EntryID> renamed;
        for (const auto& entrySpec : specs) renamed[entrySpec.id] = ++lastID;
        lastSession = std::max(lastSession, highestSession) + 1;
        for (auto& entrySpec : specs) {
            if (entrySpec.id == id) entrySpec.properties.insert_or_assign("sessionID", PropertyValue::unsignedNumber(lastSession));
            entrySpec.id = renamed.at(entrySpec.id);
            for (auto& [plane, parent] : entrySpec.planes)
                if (parent && renamed.count(*parent) != 0) parent = renamed.at(*parent);
        }
        registry.removeEntry(id);
        registry.addEntries(std::move(specs));
        return renamed.at(id);
    }
};

namespace {

class SimUsbClient final : public UsbHostClient {
public:
    SimUsbClient(std::shared_ptr<SimUsbHost::State> state, EntryID id) : state_(std::move(state)), id_(id) {}
    ~SimUsbClient() override {
        std::lock_guard lock(state_->mutex);
        --state_->openClients;
    }

    std::optional<UsbHostError> reset() override {
        auto error = resetDevice();
        state_->tellReset(id_, error);
        return error;
    }

private:
    std::optional<UsbHostError> resetDevice() {
        {
            std::lock_guard lock(state_->mutex);
            state_->resetCalls.push_back(id_);
        }
        if (used_) return UsbHostError{kErrorDomain, kResultNoDevice, "The client's device was already reset."};
        if (!state_->registry.contains(id_)) return noDevice();
        if (auto script = state_->scriptFor(id_); script && script->resetError) return script->resetError;
        try {
            state_->reenumerate(id_);
        } catch (const SimRegistryError&) {
            return noDevice();  // it went away while the reset ran
        }
        used_ = true;
        return std::nullopt;
    }

    std::shared_ptr<SimUsbHost::State> state_;
    EntryID id_;
    bool used_ = false;  // after a reset the client's device is gone, as on a real bus
};

}  // namespace

SimUsbHost::SimUsbHost(SimRegistry& registry, EntryID reservedIDsUpTo)
    : state_(std::make_shared<State>(registry, reservedIDsUpTo)) {}

SimUsbHost::~SimUsbHost() = default;

UsbHostOpenResult SimUsbHost::open(const RegistryEntry& device) {
    const EntryID id = device.entryID();
    if (!state_->registry.contains(id)) return {nullptr, noDevice()};
    if (!device.conformsTo(kDeviceClass))
        return {nullptr, UsbHostError{kErrorDomain, kResultUnsupported, "The entry is not a USB device."}};
    if (auto script = state_->scriptFor(id); script && script->openError) return {nullptr, *script->openError};
    std::lock_guard lock(state_->mutex);
    ++state_->openClients;
    return {std::make_unique<SimUsbClient>(state_, id), {}};
}

void SimUsbHost::setScript(EntryID id, SimUsbScript script) {
    std::lock_guard lock(state_->mutex);
    state_->scripts.insert_or_assign(id, std::move(script));
}

void SimUsbHost::setResetObserver(ResetObserver observer) {
    std::lock_guard lock(state_->mutex);
    state_->observer = std::move(observer);
}

std::vector<EntryID> SimUsbHost::resetCalls() const {
    std::lock_guard lock(state_->mutex);
    return state_->resetCalls;
}

std::size_t SimUsbHost::openClientCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->openClients;
}

}  // namespace ampwell::platform::sim
