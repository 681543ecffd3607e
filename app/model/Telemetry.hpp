#pragma once

#include "app/model/BootIdentity.hpp"
#include "app/model/ConnectedDevice.hpp"
#include "app/model/Snapshot.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/PropertyValue.hpp"
#include "platform/base/Translation.hpp"
#include "platform/registry/Registry.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// Reads the USB-C ports from the registry into a Snapshot. Holds no state of its own, only the
// seam it reads through; every call reads the registry afresh and never fails: missing or odd data
// becomes an absent field, a skipped entry or one of the three unavailable messages.
class Telemetry {
public:
    using DeviceMap = std::map<int, std::vector<ConnectedDevice>>;

    static constexpr const char* kNoPowerServiceMessage = platform::trMarked("这台 Mac 未提供 USB 输出功率信息");
    static constexpr const char* kNoComputerPowerServiceMessage = platform::trMarked("这台电脑未提供 USB 输出功率信息");
    static constexpr const char* kNoPortReadingsMessage = platform::trMarked("系统暂未提供各接口的输出读数");
    static constexpr const char* kNoReadablePortMessage = platform::trMarked("当前没有可读取的输出接口");
    // The snapshot keeps these texts as they stand (its JSON never changes with the language); the
    // views translate them when they show them.
    // kNoPowerServiceMessage for a machine the registry calls `noun`: "这台 Mac 未提供…" for "Mac",
    // "这台电脑未提供…" for "电脑" (a Latin word is set off from the Chinese by spaces, a Chinese one is not).
    static std::string noPowerServiceMessage(const std::string& noun);

    Telemetry(platform::Registry& registry, const platform::Clock& clock, const BootIdentity& bootIdentity);

    // One snapshot of the devices connectedDevices() finds now.
    Snapshot read() const;
    // One snapshot of the given devices, read by the caller just before.
    Snapshot read(const DeviceMap& devices) const;
    // The USB devices behind each USB-C port, in registry order within a port. A device on no
    // USB-C port but on a plain USB port of the computer (type "USB") is listed under that port's
    // number plus PortReading::kPlainPortBase, and read() names the port.
    DeviceMap connectedDevices() const;
    // Port → battery percentage the power manager reports, where it can be confirmed.
    std::map<int, int> reportedBatteryLevels(const platform::PropertyDictionary& batteryProperties) const;
    // The newest acceptable power-data update time.
    static std::optional<platform::Date> powerDataTimestamp(const platform::PropertyDictionary& batteryProperties,
                                                            platform::Date now);
    // The one number conversion: a finite, non-negative number that is not a boolean.
    static std::optional<double> number(const std::optional<platform::PropertyValue>& value);
    static std::optional<double> number(const platform::PropertyValue* value);
    // An entry's properties, or empty when the registry refuses them.
    static platform::PropertyDictionary properties(const platform::RegistryEntry& entry);

private:
    Snapshot readPorts(const DeviceMap& devices) const;

    platform::Registry& registry_;
    const platform::Clock& clock_;
    const BootIdentity& bootIdentity_;
    // The plain ports the last connectedDevices() found, by key, with their names: a number alone
    // cannot say whether it is a plain port, since a USB-C port may carry any number. Used from
    // one thread, like the registry.
    mutable std::map<int, std::string> plainPortNames_;
};

}  // namespace ampwell
