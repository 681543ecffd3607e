#include "tests/unit/support/SimulatedIPad.hpp"

#include "platform/sim/SimulationLoader.hpp"

namespace ampwell::test {

std::unique_ptr<platform::sim::SimPlatform> simulatedIPad(const std::string& deviceExtra, const std::string& topExtra) {
    const std::string text = R"({
      "format": "ampwell-simulation/1", )" + topExtra + R"(
      "clock": {"start": 1800000000, "speed": 0},
      "bootTime": 1799990000,
      "registry": [
        {"id": 4294968100, "class": "IOUSBHostDevice", "planes": {"IOService": null},
         "properties": {"USB Product Name": "iPad", "USB Serial Number": "00008103-001A", "sessionID": 1234567}}
      ],
      "mobileDevices": [
        {)" + deviceExtra + R"( "identifier": "00008103-001A", "usbSerial": "00008103-001A", "interfaceType": 1,
         "values": {"": {"DeviceClass": "iPad"},
                    "com.apple.mobile.battery": {"BatteryCurrentCapacity": 80, "BatteryIsCharging": false,
                                                 "ExternalConnected": true}}}
      ]
    })";
    return std::make_unique<platform::sim::SimPlatform>(platform::sim::parseSimulation(text, "ipad.json"));
}

}  // namespace ampwell::test
