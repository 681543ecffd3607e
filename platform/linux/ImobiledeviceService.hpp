#pragma once

#include "platform/devices/MobileDeviceService.hpp"

#include <atomic>

namespace ampwell::platform::linux_ {

// The mobile-device service over libimobiledevice, which reaches the devices through usbmuxd.
// Without a running usbmuxd the device list is simply empty.
//
// It never pairs: the lockdown client is made without the handshake (which would pair and make
// the device show its "Trust this computer" dialog), pairing is only validated against the pair
// record usbmuxd already keeps, and a session is started with that record's host ID. A device
// that is not paired is therefore listed with unknown values, and nothing ever pops up on it
// because of a background read.
//
// The library is linked, so loading always succeeds. Used from one thread at a time, like every
// handle it hands out.
class ImobiledeviceService final : public MobileDeviceService {
public:
    State state() const override;
    State load() override;
    std::optional<std::vector<std::shared_ptr<MobileDevice>>> createDeviceList() override;
    std::int32_t connect(MobileDevice& device) override;
    void disconnect(MobileDevice& device) override;
    std::int32_t isPaired(MobileDevice& device) override;
    std::int32_t validatePairing(MobileDevice& device) override;
    std::int32_t startSession(MobileDevice& device) override;
    void stopSession(MobileDevice& device) override;
    std::optional<std::string> copyDeviceIdentifier(MobileDevice& device) override;
    std::optional<std::string> copyDeviceUSBSerialNumber(MobileDevice& device) override;
    std::optional<PropertyValue> copyValue(MobileDevice& device, const std::optional<std::string>& domain,
                                           const std::optional<std::string>& key) override;
    std::optional<PropertyDictionary> queryRegistryEntry(MobileDevice& device, const std::string& entryName) override;
    std::optional<std::int32_t> interfaceType(MobileDevice& device) override;

private:
    std::atomic<State> state_{State::notLoaded};
};

}  // namespace ampwell::platform::linux_
