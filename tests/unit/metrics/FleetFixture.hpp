#pragma once

// A small charging station for the metrics tests: USB-C ports reported by the computer, each with
// the devices on it, and their batteries. Written in the simulation file's form, so that the
// values the tests expect can be read off the file.

#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ampwell::test {

struct FleetDeviceSpec {
    std::string name;
    std::string serial;
    int percent = 60;
    bool charging = true;
    double readDelay = 0;  // seconds the device takes to answer
};

struct FleetPortSpec {
    int number = 1;
    int millivolts = 5000;
    int milliamps = 3000;
    std::vector<FleetDeviceSpec> devices;
};

inline std::int64_t fleetPortID(int number) { return 4294968000 + number; }
inline std::int64_t fleetDeviceID(int number, std::size_t index) {
    return 4294969000 + number * 10 + static_cast<std::int64_t>(index);
}

inline nlohmann::json fleetBattery(int percent, bool charging) {
    return {{"BatteryCurrentCapacity", percent}, {"BatteryIsCharging", charging}, {"ExternalConnected", true}};
}

// The simulation file of a computer started at 1 800 000 000 s with `ports`, and `timeline` as
// given, its clock running at `speed`.
inline nlohmann::json fleetSimulation(const std::vector<FleetPortSpec>& ports,
                                      nlohmann::json timeline = nlohmann::json::array(), int speed = 0) {
    nlohmann::json registry = nlohmann::json::array();
    nlohmann::json mobiles = nlohmann::json::array();
    nlohmann::json details = nlohmann::json::array();
    for (const auto& port : ports) {
        registry.push_back(
            {{"id", fleetPortID(port.number)},
             {"class", "IOPortFeatureUSB"},
             {"planes", {{"IOPort", nullptr}}},
             {"properties", {{"ParentPortTypeDescription", "USB-C"}, {"ParentPortNumber", port.number}}}});
        details.push_back({{"PortIndex", port.number},
                           {"AdapterVoltage", port.millivolts},
                           {"Current", port.milliamps},
                           {"ConfiguredVoltage", port.millivolts},
                           {"ConfiguredCurrent", port.milliamps}});
        for (std::size_t i = 0; i < port.devices.size(); ++i) {
            const auto& device = port.devices[i];
            registry.push_back({{"id", fleetDeviceID(port.number, i)},
                                {"class", "IOUSBHostDevice"},
                                {"conforms", {"IOUSBDevice"}},
                                {"planes", {{"IOService", nullptr}, {"IOPort", fleetPortID(port.number)}}},
                                {"properties",
                                 {{"USB Product Name", device.name},
                                  {"USB Serial Number", device.serial},
                                  {"sessionID", 7000 + fleetDeviceID(port.number, i) % 1000},
                                  {"idVendor", 1452}}}});
            const std::string deviceClass = device.name.find("iPhone") != std::string::npos ? "iPhone" : "iPad";
            mobiles.push_back({{"identifier", device.serial},
                               {"usbSerial", device.serial},
                               {"interfaceType", 1},
                               {"values",
                                {{"", {{"DeviceClass", deviceClass}}},
                                 {"com.apple.mobile.battery", fleetBattery(device.percent, device.charging)}}}});
            if (device.readDelay > 0) mobiles.back()["readDelay"] = device.readDelay;
        }
    }
    registry.push_back(
        {{"id", 4294967500}, {"class", "AppleSmartBattery"}, {"properties", {{"PowerOutDetails", details}}}});
    nlohmann::json simulation = {
        {"format", "ampwell-simulation/1"}, {"clock", {{"start", 1800000000}, {"speed", speed}}},
        {"bootTime", 1799990000},           {"registry", registry},
        {"mobileDevices", mobiles},         {"timeline", std::move(timeline)},
    };
    return simulation;
}

// The same computer, frozen.
inline std::unique_ptr<platform::sim::SimPlatform> simulatedFleet(const std::vector<FleetPortSpec>& ports,
                                                                  nlohmann::json timeline = nlohmann::json::array()) {
    const nlohmann::json simulation = fleetSimulation(ports, std::move(timeline));
    return std::make_unique<platform::sim::SimPlatform>(
        platform::sim::parseSimulation(simulation.dump(), "fleet.json"));
}

// A timeline event that sets a listed device's charge.
inline nlohmann::json chargeAt(double at, const std::string& serial, int percent, bool charging = true) {
    return {{"at", at},
            {"mobile",
             {{"identifier", serial}, {"values", {{"com.apple.mobile.battery", fleetBattery(percent, charging)}}}}}};
}

}  // namespace ampwell::test
