#pragma once

// The iPad the tests and benchmarks attach: one USB device in the registry and the mobile
// device behind it, answering its class and the battery domain. Written once, in the simulation
// file's form, so that every copy of it (a simulated Mac, a mocked service, a battery read) says
// the same thing. Header-only: the benchmarks use it without the test support library.

#include "app/model/DeviceBattery.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/PropertyJson.hpp"
#include "platform/base/PropertyValue.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace ampwell::test {

inline constexpr const char* kIPadSerial = "00008103-001A";
inline constexpr std::int64_t kIPadEntryID = 4294968100;
inline constexpr std::int64_t kIPadSession = 1234567;

// Its battery domain: 80 % unless told otherwise, paused on external power.
inline nlohmann::json iPadBatteryJson(int percent = 80, bool charging = false, bool externalConnected = true) {
    return {
        {"BatteryCurrentCapacity", percent}, {"BatteryIsCharging", charging}, {"ExternalConnected", externalConnected}};
}

// The same domain as the mobile-device service hands it over.
inline platform::PropertyValue iPadBatteryDomain(int percent = 80, bool charging = false,
                                                 bool externalConnected = true) {
    auto value = platform::propertyValueFromJson(iPadBatteryJson(percent, charging, externalConnected), "$");
    if (!value.ok()) throw std::logic_error("the iPad's battery domain has no property form");
    return std::move(value).value();
}

// Its USB device entry (Apple's vendor ID), in the service plane and, when `port` is given, under
// that IOPort-plane entry.
inline nlohmann::json iPadUsbDevice(std::int64_t id = kIPadEntryID, std::int64_t session = kIPadSession,
                                    std::optional<std::int64_t> port = std::nullopt) {
    nlohmann::json planes = {{"IOService", nullptr}};
    if (port) planes["IOPort"] = *port;
    return {{"id", id},
            {"class", "IOUSBHostDevice"},
            {"conforms", {"IOUSBDevice"}},
            {"planes", planes},
            {"properties",
             {{"USB Product Name", "iPad"},
              {"USB Serial Number", kIPadSerial},
              {"sessionID", session},
              {"idVendor", 1452}}}};
}

// The mobile device behind it, on USB, answering everything with success.
inline nlohmann::json iPadMobileDevice() {
    return {{"identifier", kIPadSerial},
            {"usbSerial", kIPadSerial},
            {"interfaceType", 1},
            {"values", {{"", {{"DeviceClass", "iPad"}}}, {"com.apple.mobile.battery", iPadBatteryJson()}}}};
}

// What a battery read of it gives, taken at `sampledAt` while it is attached in its session.
inline DeviceBattery iPadBattery(platform::Date sampledAt) {
    const nlohmann::json battery = iPadBatteryJson();
    DeviceBattery reading;
    reading.serial = kIPadSerial;
    reading.deviceClass = "iPad";
    reading.percent = battery["BatteryCurrentCapacity"].get<int>();
    reading.isCharging = battery["BatteryIsCharging"].get<bool>();
    reading.externalConnected = battery["ExternalConnected"].get<bool>();
    reading.sampledAt = sampledAt;
    reading.connectionID = std::to_string(kIPadSession);
    return reading;
}

// A frozen simulated Mac (started at 1 800 000 000 s, boot identity "1799990000") with the iPad on
// USB. The members of `device` are merged into the mobile device's object and those of `top`
// into the file's top level (null: none).
inline std::unique_ptr<platform::sim::SimPlatform> simulatedIPad(const nlohmann::json& device = nullptr,
                                                                 const nlohmann::json& top = nullptr) {
    nlohmann::json mobile = iPadMobileDevice();
    if (!device.is_null()) mobile.update(device);
    nlohmann::json simulation = {
        {"format", "ampwell-simulation/1"},
        {"clock", {{"start", 1800000000}, {"speed", 0}}},
        {"bootTime", 1799990000},
        {"registry", nlohmann::json::array({iPadUsbDevice()})},
        {"mobileDevices", nlohmann::json::array({mobile})},
    };
    if (!top.is_null()) simulation.update(top);
    return std::make_unique<platform::sim::SimPlatform>(platform::sim::parseSimulation(simulation.dump(), "ipad.json"));
}

}  // namespace ampwell::test
