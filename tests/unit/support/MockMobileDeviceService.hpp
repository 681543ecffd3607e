#pragma once

#include "platform/devices/MobileDeviceService.hpp"

#include <gmock/gmock.h>

#include <string>

namespace ampwell::test {

// A device handle the mock hands out; tests tell devices apart by `name`.
struct MockDevice : platform::MobileDevice {
    explicit MockDevice(std::string name) : name(std::move(name)) {}
    std::string name;
};

class MockMobileDeviceService : public platform::MobileDeviceService {
public:
    MOCK_METHOD(State, state, (), (const, override));
    MOCK_METHOD(State, load, (), (override));
    MOCK_METHOD(std::optional<std::vector<std::shared_ptr<platform::MobileDevice>>>, createDeviceList, (),
                (override));
    MOCK_METHOD(std::int32_t, connect, (platform::MobileDevice&), (override));
    MOCK_METHOD(void, disconnect, (platform::MobileDevice&), (override));
    MOCK_METHOD(std::int32_t, isPaired, (platform::MobileDevice&), (override));
    MOCK_METHOD(std::int32_t, validatePairing, (platform::MobileDevice&), (override));
    MOCK_METHOD(std::int32_t, startSession, (platform::MobileDevice&), (override));
    MOCK_METHOD(void, stopSession, (platform::MobileDevice&), (override));
    MOCK_METHOD(std::optional<std::string>, copyDeviceIdentifier, (platform::MobileDevice&), (override));
    MOCK_METHOD(std::optional<std::string>, copyDeviceUSBSerialNumber, (platform::MobileDevice&), (override));
    MOCK_METHOD(std::optional<platform::PropertyValue>, copyValue,
                (platform::MobileDevice&, const std::optional<std::string>&, const std::optional<std::string>&),
                (override));
    MOCK_METHOD(std::optional<platform::PropertyDictionary>, queryRegistryEntry,
                (platform::MobileDevice&, const std::string&), (override));
    MOCK_METHOD(std::optional<std::int32_t>, interfaceType, (platform::MobileDevice&), (override));
};

// Matches the device handle with that name.
MATCHER_P(DeviceNamed, name, "") { return static_cast<const MockDevice&>(arg).name == name; }

}  // namespace ampwell::test
