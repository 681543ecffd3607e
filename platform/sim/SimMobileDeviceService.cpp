#include "platform/sim/SimMobileDeviceService.hpp"

#include <algorithm>

namespace ampwell::platform::sim {
namespace {

// A handle names the device it was listed for; its answers are looked up at each call.
struct SimDeviceHandle final : MobileDevice {
    explicit SimDeviceHandle(std::string identifier) : identifier(std::move(identifier)) {}
    const std::string identifier;
};

const std::string& identifierOf(const MobileDevice& device) {
    return static_cast<const SimDeviceHandle&>(device).identifier;
}

}  // namespace

SimMobileDeviceService::SimMobileDeviceService(const SimMobileDeviceList& devices, const Clock& clock, bool available)
    : devices_(devices), clock_(clock), available_(available) {}

MobileDeviceService::State SimMobileDeviceService::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

MobileDeviceService::State SimMobileDeviceService::load() {
    std::lock_guard lock(mutex_);
    if (state_ == State::notLoaded) state_ = available_ ? State::loaded : State::unavailable;
    return state_;
}

std::optional<std::vector<std::shared_ptr<MobileDevice>>> SimMobileDeviceService::createDeviceList() {
    std::vector<std::shared_ptr<MobileDevice>> list;
    for (const auto& device : devices_.devices()) list.push_back(std::make_shared<SimDeviceHandle>(device.identifier));
    return list;
}

std::optional<SimMobileDevice> SimMobileDeviceService::current(const MobileDevice& device) const {
    const auto& identifier = identifierOf(device);
    for (auto& listed : devices_.devices())
        if (listed.identifier == identifier) return std::move(listed);
    return std::nullopt;
}

std::int32_t SimMobileDeviceService::connect(MobileDevice& device) {
    auto listed = current(device);
    if (!listed) return kMobileDeviceGone;
    if (listed->readDelay > 0) {
        clock_.sleepUntil(clock_.now() + Seconds(listed->readDelay));
        // The device may have gone while it kept us waiting.
        listed = current(device);
        if (!listed) return kMobileDeviceGone;
    }
    if (listed->connect == kMobileDeviceSuccess) {
        std::lock_guard lock(mutex_);
        ++openConnections_;
    }
    return listed->connect;
}

void SimMobileDeviceService::disconnect(MobileDevice&) {
    std::lock_guard lock(mutex_);
    openConnections_ = std::max(0, openConnections_ - 1);
}

std::int32_t SimMobileDeviceService::isPaired(MobileDevice& device) {
    auto listed = current(device);
    return listed ? listed->paired : 0;
}

std::int32_t SimMobileDeviceService::validatePairing(MobileDevice& device) {
    auto listed = current(device);
    return listed ? listed->validatePairing : kMobileDeviceGone;
}

std::int32_t SimMobileDeviceService::startSession(MobileDevice& device) {
    auto listed = current(device);
    if (!listed) return kMobileDeviceGone;
    if (listed->startSession == kMobileDeviceSuccess) {
        std::lock_guard lock(mutex_);
        ++openSessions_;
    }
    return listed->startSession;
}

void SimMobileDeviceService::stopSession(MobileDevice&) {
    std::lock_guard lock(mutex_);
    openSessions_ = std::max(0, openSessions_ - 1);
}

std::optional<std::string> SimMobileDeviceService::copyDeviceIdentifier(MobileDevice& device) {
    return identifierOf(device);
}

std::optional<std::string> SimMobileDeviceService::copyDeviceUSBSerialNumber(MobileDevice& device) {
    auto listed = current(device);
    return listed ? listed->usbSerial : std::nullopt;
}

std::optional<PropertyValue> SimMobileDeviceService::copyValue(MobileDevice& device,
                                                               const std::optional<std::string>& domain,
                                                               const std::optional<std::string>& key) {
    auto listed = current(device);
    if (!listed) return std::nullopt;
    return sim::copyValue(*listed, domain.value_or(""), key.value_or(""));
}

std::optional<PropertyDictionary> SimMobileDeviceService::queryRegistryEntry(MobileDevice& device,
                                                                           const std::string& entryName) {
    {
        std::lock_guard lock(mutex_);
        ++registryQueries_;
    }
    auto listed = current(device);
    if (!listed || !listed->ioregistry) return std::nullopt;
    const auto found = listed->ioregistry->find(entryName);
    if (found == listed->ioregistry->end()) return std::nullopt;
    return found->second;
}

int SimMobileDeviceService::registryQueries() const {
    std::lock_guard lock(mutex_);
    return registryQueries_;
}

std::optional<std::int32_t> SimMobileDeviceService::interfaceType(MobileDevice& device) {
    auto listed = current(device);
    return listed ? listed->interfaceType : std::nullopt;
}

int SimMobileDeviceService::openConnections() const {
    std::lock_guard lock(mutex_);
    return openConnections_;
}

int SimMobileDeviceService::openSessions() const {
    std::lock_guard lock(mutex_);
    return openSessions_;
}

}  // namespace ampwell::platform::sim
