#pragma once

#include "app/reset/USBDeviceResetter.hpp"
#include "platform/sim/SimRegistry.hpp"
#include "platform/sim/SimUsbHost.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ampwell::testing {

using platform::EntryID;
using platform::PropertyDictionary;
using platform::PropertyValue;

inline PropertyValue text(std::string value) { return PropertyValue::string(std::move(value)); }
inline PropertyValue whole(std::int64_t value) { return PropertyValue::wholeNumber(value); }
inline PropertyValue flag(bool value) { return PropertyValue::boolean(value); }
inline PropertyValue bytes(std::vector<std::uint8_t> value) { return PropertyValue::data(std::move(value)); }

// A simulated Mac with one USB controller and three physical ports (1 and 2 USB-C, 3 USB-A), on
// which tests plug devices and call the resetter. Every call made through `list`, `reset` and
// `resetIPad` is checked to leave no registry handle and no host client alive.
class ResetTestRegistry : public ::testing::Test {
protected:
    static constexpr EntryID kController = 100;
    static constexpr EntryID kPortRoot = 200;
    static constexpr EntryID kPort1 = 201, kPort2 = 202, kPort3 = 203;

    ResetTestRegistry() {
        registry.addEntries({
            {kController, "IOUSBHostController", {}, {{platform::kServicePlane, std::nullopt}}, {}},
            {kPortRoot, "IOPort", {}, {{platform::kPortPlane, std::nullopt}}, {}},
            port(kPort1, "USB-C", 1),
            port(kPort2, "USB-C", 2),
            port(kPort3, "USB-A", 3),
        });
    }

    static platform::sim::SimEntrySpec port(EntryID id, const char* type, std::int64_t number) {
        return {id, "IOPort", {}, {{platform::kPortPlane, kPortRoot}},
                {{"ParentPortTypeDescription", text(type)}, {"ParentPortNumber", whole(number)}}};
    }

    // Plugs a device into the controller, below `portParent` in the port plane when given.
    void plug(EntryID id, PropertyDictionary properties, std::optional<EntryID> portParent = kPort1,
              std::string className = "IOUSBHostDevice") {
        platform::sim::SimEntrySpec entrySpec{id, std::move(className), {}, {{platform::kServicePlane, kController}},
                                         std::move(properties)};
        if (portParent) entrySpec.planes[platform::kPortPlane] = *portParent;
        registry.addEntry(std::move(entrySpec));
    }

    // A device with a name and a session and nothing else.
    void plugNamed(EntryID id, const std::string& name, std::int64_t session, std::optional<EntryID> portParent = kPort1) {
        plug(id, {{"USB Product Name", text(name)}, {"sessionID", whole(session)}}, portParent);
    }

    void plugInterface(EntryID id, EntryID device, PropertyDictionary properties,
                       std::string className = "IOUSBHostInterface") {
        registry.addEntry({id, std::move(className), {}, {{platform::kServicePlane, device}}, std::move(properties)});
    }

    std::vector<USBResetTarget> list() {
        auto targets = resetter.availableTargets();
        expectNothingHeld();
        return targets;
    }

    std::optional<USBResetTarget> listed(EntryID id) {
        for (auto& target : list())
            if (target.registryID == id) return target;
        return std::nullopt;
    }

    ResetResult reset(const USBResetTarget& target) {
        auto result = resetter.reset(target);
        expectNothingHeld();
        return result;
    }

    ResetResult resetIPad(const std::string& serial, std::optional<std::string> connection) {
        auto result = resetter.resetIPad(serial, connection);
        expectNothingHeld();
        return result;
    }

    void expectNothingHeld() {
        EXPECT_EQ(registry.liveHandleCount(), 0u) << "a registry handle outlived the call";
        EXPECT_EQ(host.openClientCount(), 0u) << "a USB host client outlived the call";
    }

    static std::optional<ResetError::Kind> failure(const ResetResult& result) {
        return result.error() ? std::optional(result.error()->kind()) : std::nullopt;
    }

    platform::sim::SimRegistry registry;
    // Devices re-enumerated by a reset get IDs above those the tests choose.
    platform::sim::SimUsbHost host{registry, 10000};
    USBDeviceResetter resetter{registry, host};
};

}  // namespace ampwell::testing
