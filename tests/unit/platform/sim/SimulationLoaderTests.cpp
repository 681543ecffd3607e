#include "platform/sim/SimulationLoader.hpp"

#include "platform/base/PlatformError.hpp"
#include "platform/sim/SimIso8601.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace ampwell::platform::sim {
namespace {

using ::testing::HasSubstr;

std::string withHeader(const std::string& body) {
    return R"({"format": "ampwell-simulation/1")" + (body.empty() ? "" : ", " + body) + "}";
}

SimulationModel parse(const std::string& body) { return parseSimulation(withHeader(body), "sim.json"); }

// The one-line message a malformed file gives.
std::string errorOf(const std::string& text) {
    try {
        parseSimulation(text, "sim.json");
    } catch (const PlatformError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        return message;
    }
    ADD_FAILURE() << "no error for " << text;
    return {};
}

std::string bodyError(const std::string& body) { return errorOf(withHeader(body)); }

const char* const kEntry = R"({"id": 10, "class": "IOUSBHostDevice"})";

TEST(SimulationLoader, EveryMistakeNamesFileAndPath) {
    // Each kind of mistake, with the exact place it is reported at.
    EXPECT_EQ(errorOf("{\"format\": "), "sim.json: $: not JSON: parse error at line 1, column 12: syntax error while "
                                        "parsing value - unexpected end of input; expected '[', '{', or a literal");
    EXPECT_EQ(errorOf("[]"), "sim.json: $: expected an object, found an array");
    EXPECT_EQ(errorOf("{}"), "sim.json: $: missing key \"format\"");
    EXPECT_EQ(errorOf(R"({"format": "ampwell-simulation/2"})"),
              "sim.json: $.format: unknown format \"ampwell-simulation/2\" (this program reads \"ampwell-simulation/1\")");
    EXPECT_EQ(bodyError(R"("registy": [])"), "sim.json: $.registy: unknown key");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 10, "class": "A", "planes": {"IOPort": null}, "propertys": {}}])"),
              "sim.json: $.registry[0].propertys: unknown key");
    EXPECT_EQ(bodyError(R"("registry": [{"id": "10", "class": "A"}])"),
              "sim.json: $.registry[0].id: expected a whole number, found a string");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 0, "class": "A"}])"),
              "sim.json: $.registry[0].id: entry ID 0 is not allowed");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 10, "class": "A"}, {"id": 11, "class": "B"}, {"id": 10, "class": "C"}])"),
              "sim.json: $.registry[2].id: entry ID 10 is already in use");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 10, "class": "A"}, {"id": 11, "class": "B", "planes": {"IOPort": 99}}])"),
              "sim.json: $.registry[1].planes.IOPort: parent 99 does not exist");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 1, "class": "R"}, {"id": 2, "class": "A", "planes": {"IOPort": 3}},
                                        {"id": 3, "class": "B", "planes": {"IOPort": 2}}])"),
              "sim.json: $.registry[1].planes.IOPort: the IOPort plane has a cycle: 2 -> 3 -> 2");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 10, "class": "A", "properties": {"x": null}}])"),
              "sim.json: $.registry[0].properties.x: null is not a property value");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 10, "class": "A", "id": 11}])"),
              "sim.json: $.registry[0].id: the key appears twice in its object");
}

TEST(SimulationLoader, TimelineMistakesAreFoundAtTheirTime) {
    EXPECT_EQ(bodyError(R"("timeline": [{"at": -1, "remove": 10}])"),
              "sim.json: $.timeline[0].at: expected seconds from 0, found -1");
    EXPECT_EQ(bodyError(std::string(R"("timeline": [{"at": 5, "add": )") + kEntry + R"(}, {"at": 4, "remove": 10}])"),
              "sim.json: $.timeline[1].at: the event at 4 comes before the previous one (5); events are in time order");
    // The entry exists only from second 5 on, and is gone again after second 6.
    const std::string addAt5 = std::string(R"({"at": 5, "add": )") + kEntry + "}";
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "remove": 10}, )" + addAt5 + "]"),
              "sim.json: $.timeline[0].remove: no entry 10 is present at this time");
    EXPECT_EQ(bodyError(R"("timeline": [)" + addAt5 + R"(, {"at": 6, "remove": 10}, {"at": 7, "set": {"id": 10, "properties": {}}}])"),
              "sim.json: $.timeline[2].set.id: no entry 10 is present at this time");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "message": {"id": 10, "type": 1}}])"),
              "sim.json: $.timeline[0].message.id: no entry 10 is present at this time");
    EXPECT_EQ(bodyError(R"("timeline": [)" + addAt5 + ", " + addAt5 + "]"),
              "sim.json: $.timeline[1].add.id: entry ID 10 is already in use");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "add": [{"id": 20, "class": "A"}, {"id": 21, "class": "B", "planes": {"IOService": 22}}]}])"),
              "sim.json: $.timeline[0].add[1].planes.IOService: parent 22 does not exist");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "mobile": {"identifier": "X", "remove": true}}])"),
              "sim.json: $.timeline[0].mobile.identifier: no mobile device \"X\" is listed at this time");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1}])"),
              "sim.json: $.timeline[0]: an event needs one of \"add\", \"remove\", \"set\", \"message\", \"mobile\" or \"ui\"");
    EXPECT_THAT(bodyError(R"("timeline": [{"at": 1, "remove": 10, "add": {"id": 10, "class": "A"}}])"),
                HasSubstr("sim.json: $.timeline[0].remove: an event does one thing"));
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "remove": 10, "atx": 2}])"), "sim.json: $.timeline[0].atx: unknown key");
}

TEST(SimulationLoader, OtherSectionsCheckTheirTypes) {
    EXPECT_EQ(bodyError(R"("clock": {"start": "2026-13-01T00:00:00Z"})"),
              "sim.json: $.clock.start: expected an ISO 8601 date-time such as \"2026-12-06T22:30:16Z\", found "
              "\"2026-13-01T00:00:00Z\"");
    EXPECT_EQ(bodyError(R"("clock": {"speed": -2})"), "sim.json: $.clock.speed: expected a speed from 0, found -2");
    EXPECT_EQ(bodyError(R"("clock": {"start": 100}, "bootTime": 200)"),
              "sim.json: $.bootTime: the boot time is later than clock.start");
    EXPECT_EQ(bodyError(R"("mobileDevices": [{"identifier": "A", "connect": 1.5}])"),
              "sim.json: $.mobileDevices[0].connect: expected a 32-bit code (a whole number or \"0x\" hex text), found a "
              "number with a fraction or exponent");
    EXPECT_EQ(bodyError(R"("mobileDevices": [{"identifier": "A", "paired": "0x123456789"}])"),
              "sim.json: $.mobileDevices[0].paired: expected a 32-bit code, found the text \"0x123456789\"");
    EXPECT_EQ(bodyError(R"("mobileDevices": [{"identifier": "A", "paired": -2147483649}])"),
              "sim.json: $.mobileDevices[0].paired: the code -2147483649 does not fit in 32 bits");
    EXPECT_EQ(bodyError(R"("mobileDevices": [{"identifier": "A"}, {"identifier": "A"}])"),
              "sim.json: $.mobileDevices[1].identifier: the identifier \"A\" is already listed at $.mobileDevices[0]");
    EXPECT_EQ(bodyError(R"("defaults": {"menuDisplayMode": null})"),
              "sim.json: $.defaults.menuDisplayMode: null is not a property value");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 1, "class": "A", "properties": {"b": {"$data": "abc"}}}])"),
              "sim.json: $.registry[0].properties.b.$data: expected pairs of hex digits, found an odd number of digits");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 1, "class": "A", "properties": {"b": {"$data": "00", "x": 1}}}])"),
              "sim.json: $.registry[0].properties.b: a data value has the one key \"$data\" and nothing else");
    EXPECT_EQ(bodyError(R"("registry": [{"id": 1, "class": ""}])"), "sim.json: $.registry[0].class: expected a non-empty string");
}

TEST(SimulationLoader, TheScriptedUserIsCheckedLikeTheRest) {
    EXPECT_EQ(bodyError(R"("ui": {"alertAnswer": []})"), "sim.json: $.ui.alertAnswer: unknown key");
    EXPECT_EQ(bodyError(R"("ui": {"alertAnswers": ["取消", ""]})"),
              "sim.json: $.ui.alertAnswers[1]: expected a non-empty string");
    EXPECT_EQ(bodyError(R"("ui": {"notifications": "allowed"})"),
              "sim.json: $.ui.notifications: expected \"notDetermined\", \"denied\", \"authorized\", \"provisional\" "
              "or \"ephemeral\", found \"allowed\"");
    EXPECT_EQ(bodyError(R"("ui": {"onRequest": "provisional"})"),
              "sim.json: $.ui.onRequest: expected \"authorized\" or \"denied\", found \"provisional\"");
    EXPECT_EQ(bodyError(R"("clock": {"until": -1})"), "sim.json: $.clock.until: expected seconds from 0, found -1");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"open": "preferences"}}])"),
              "sim.json: $.timeline[0].ui.open: expected \"menu\" or \"reset\", found \"preferences\"");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"close": "reset"}}])"),
              "sim.json: $.timeline[0].ui.close: expected \"menu\", found \"reset\"");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"click": []}}])"),
              "sim.json: $.timeline[0].ui.click: a click needs the title of at least one item");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"click": "立即刷新"}}])"),
              "sim.json: $.timeline[0].ui.click: expected an array, found a string");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"notification": "reset"}}])"),
              "sim.json: $.timeline[0].ui.notification: expected \"reset-ipad-usb\", \"ignore\" or \"default\", found "
              "\"reset\"");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"open": "menu", "close": "menu"}}])"),
              "sim.json: $.timeline[0].ui.close: a ui event does one thing; it already has \"open\"");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {}}])"),
              "sim.json: $.timeline[0].ui: a ui event needs one of \"open\", \"close\", \"click\" or \"notification\"");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1, "ui": {"clik": ["立即刷新"]}}])"),
              "sim.json: $.timeline[0].ui.clik: unknown key");

    const auto model = parse(R"("clock": {"speed": 0, "until": 90}, "ui": {"alertAnswers": ["取消"], "onRequest": "denied"},
        "timeline": [{"at": 2, "ui": {"click": ["偏好设置", "菜单栏显示", "iPad 功率"]}}])");
    EXPECT_EQ(model.clock->until, 90.0);
    EXPECT_EQ(model.ui.alertAnswers, std::vector<std::string>{"取消"});
    EXPECT_EQ(model.ui.notifications, "notDetermined");
    EXPECT_EQ(model.ui.onRequest, "denied");
    const auto& click = std::get<SimUiEvent>(model.timeline.at(0).action).action;
    EXPECT_EQ(click.kind, UserAction::Kind::click);
    EXPECT_EQ(click.titlePath, (std::vector<std::string>{"偏好设置", "菜单栏显示", "iPad 功率"}));
    EXPECT_EQ(click.origin, "sim.json: $.timeline[0].ui.click");
}

TEST(SimulationLoader, TimesBeyondTheDatesAreRefusedAtTheirPlace) {
    const std::string latest = "expected at most 253402300799 seconds (9999-12-31T23:59:59Z), found ";
    EXPECT_EQ(bodyError(R"("clock": {"start": 1e18})"), "sim.json: $.clock.start: " + latest + "1e+18");
    EXPECT_EQ(bodyError(R"("clock": {"start": "9999-12-31T23:59:59-01:00"})"),
              "sim.json: $.clock.start: expected a date-time from 1970-01-01T00:00:00Z to 9999-12-31T23:59:59Z, found "
              "\"9999-12-31T23:59:59-01:00\"");
    EXPECT_EQ(bodyError(R"("clock": {"speed": 1.7e308})"),
              "sim.json: $.clock.speed: expected a speed of at most 1000000, found 1.7e+308");
    EXPECT_EQ(bodyError(R"("bootTime": 1e300)"), "sim.json: $.bootTime: " + latest + "1e+300");
    // Without a clock the run starts now, and the boot cannot come after it.
    EXPECT_EQ(bodyError(R"("bootTime": 253402300799)"), "sim.json: $.bootTime: the boot time is later than the current time");
    EXPECT_EQ(bodyError(R"("mobileDevices": [{"identifier": "A", "readDelay": 2e12}])"),
              "sim.json: $.mobileDevices[0].readDelay: " + latest + "2000000000000.0");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1e300, "remove": 10}])"), "sim.json: $.timeline[0].at: " + latest + "1e+300");
}

TEST(SimulationLoader, AFileThatCannotBeReadSaysWhy) {
    try {
        loadSimulationFile("/nonexistent/sim.json");
        FAIL() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), "/nonexistent/sim.json: $: cannot be read: No such file or directory");
    }
}

TEST(SimulationLoader, HostileFilesEndInOneLineNamingThePlace) {
    std::string deep = R"({"format": "ampwell-simulation/1", "defaults": {"x": )";
    for (int i = 0; i < 100000; ++i) deep += "[";
    EXPECT_THAT(errorOf(deep), ::testing::MatchesRegex(R"(sim\.json: \$\.defaults\.x(\[0\]){254}: arrays and )"
                                                         R"(objects nest deeper than 256 levels)"));
    std::string wide = R"({"format": "ampwell-simulation/1", "defaults": {"x": [0)";
    for (int i = 0; i < 120000; ++i) wide += ",0";
    EXPECT_EQ(errorOf(wide), "sim.json: $.defaults.x[99996]: the file holds more than 100000 values");
    EXPECT_EQ(bodyError(R"("clock": {"start": 1e400})"), "sim.json: $.clock.start: number overflow parsing '1e400'");
    EXPECT_EQ(bodyError(R"("timeline": [{"at": 1}, {"at": -1e400}])"),
              "sim.json: $.timeline[1].at: number overflow parsing '-1e400'");
    for (const char* device : {"/dev/zero", "/dev/null"}) {
        try {
            loadSimulationFile(device);
            ADD_FAILURE() << "no error for " << device;
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.what(), std::string(device) + ": $: cannot be read: it is not a regular file");
        }
    }
}

TEST(SimulationLoader, PropertiesKeepTheirKinds) {
    const auto model = parse(R"("registry": [{"id": 7, "class": "AppleSmartBattery", "properties": {
        "flag": true, "whole": 5000, "negative": -3, "big": 18446744073709551615, "real": 1.5, "exponent": 2e3,
        "text": "USB-C", "bytes": {"$data": "00fF"}, "list": [1, false, {"k": "v"}],
        "nested": {"Metadata": {"Vendor ID": 1452}}}}])");
    ASSERT_EQ(model.registry.size(), 1u);
    const auto& p = model.registry[0].properties;
    EXPECT_EQ(p.at("flag").booleanValue(), true);
    EXPECT_EQ(p.at("flag").number(), nullptr);  // a boolean is never a number
    ASSERT_NE(p.at("whole").number(), nullptr);
    EXPECT_TRUE(p.at("whole").number()->whole);
    EXPECT_EQ(p.at("whole").number()->value, 5000);
    EXPECT_EQ(p.at("negative").number()->text, "-3");
    EXPECT_EQ(p.at("big").number()->text, "18446744073709551615");
    EXPECT_FALSE(p.at("real").number()->whole);
    EXPECT_EQ(p.at("real").number()->value, 1.5);
    EXPECT_EQ(p.at("exponent").number()->value, 2000);
    EXPECT_EQ(*p.at("text").stringValue(), "USB-C");
    EXPECT_EQ(*p.at("bytes").dataValue(), (PropertyData{0x00, 0xff}));
    ASSERT_NE(p.at("list").arrayValue(), nullptr);
    EXPECT_EQ(p.at("list").describe(), R"([1, false, {"k": "v"}])");
    const auto* metadata = p.at("nested").dictionaryValue()->at("Metadata").dictionaryValue();
    EXPECT_EQ(metadata->at("Vendor ID").number()->value, 1452);
}

TEST(SimulationLoader, ReadsEverySection) {
    const auto model = parse(R"(
        "clock": {"start": "2026-12-06T22:30:16Z", "speed": 0}, "bootTime": 1764990000.5,
        "registry": [{"id": 5, "class": "IOUSBHostDevice", "conforms": ["IOUSBDevice"],
                      "planes": {"IOService": null, "IOPort": 4}, "propertiesFail": true},
                     {"id": 4, "class": "IOPortTransport"}],
        "mobileDevices": [{"identifier": "ID-1", "usbSerial": "00008103-001A", "interfaceType": 1,
                           "connect": "0xE800001A", "paired": 0, "values": {"": {"DeviceClass": "iPad"},
                           "com.apple.mobile.battery": {"BatteryCurrentCapacity": 80}}},
                          {"identifier": "ID-2"}],
        "defaults": {"lowPowerThreshold": 10, "menuDisplayMode": "text"},
        "lockDirectory": "/tmp/lock-here",
        "timeline": [{"at": 0, "set": {"id": 5, "properties": {"sessionID": 2, "gone": null}}},
                     {"at": 2.5, "message": {"id": 4, "type": "0xE0024100"}},
                     {"at": 3, "mobile": {"identifier": "ID-1", "usbSerial": null,
                                          "values": {"com.apple.mobile.battery": {"BatteryIsCharging": true}}}},
                     {"at": 4, "mobile": {"identifier": "ID-2", "remove": true}}])");
    ASSERT_TRUE(model.clock && model.clock->start);
    EXPECT_EQ(*model.clock->start, 1796596216.0);
    EXPECT_EQ(model.clock->speed, 0);
    EXPECT_EQ(model.bootTime, 1764990000.5);
    const auto& entry = model.registry[0];
    EXPECT_EQ(entry.conforms, std::vector<std::string>{"IOUSBDevice"});
    EXPECT_EQ(entry.planes.at("IOService"), std::nullopt);
    EXPECT_EQ(entry.planes.at("IOPort"), 4u);
    EXPECT_TRUE(entry.propertiesFail);

    ASSERT_EQ(model.mobileDevices.size(), 2u);
    const auto& device = model.mobileDevices[0];
    EXPECT_EQ(device.usbSerial, "00008103-001A");
    EXPECT_EQ(device.interfaceType, 1);
    EXPECT_EQ(static_cast<std::uint32_t>(device.connect), 0xE800001Au);
    EXPECT_EQ(device.paired, 0);
    EXPECT_EQ(device.startSession, 0);
    EXPECT_EQ(*copyValue(device, "", "DeviceClass")->stringValue(), "iPad");
    EXPECT_EQ(copyValue(device, "com.apple.mobile.battery", "")->dictionaryValue()->size(), 1u);
    // A device given by its identifier alone answers like a paired USB device without serial.
    EXPECT_EQ(model.mobileDevices[1].paired, 1);
    EXPECT_EQ(model.mobileDevices[1].usbSerial, std::nullopt);

    EXPECT_EQ(*model.defaults.at("menuDisplayMode").stringValue(), "text");
    EXPECT_EQ(model.lockDirectory, "/tmp/lock-here");
    ASSERT_EQ(model.timeline.size(), 4u);
    const auto& set = std::get<SimSetEvent>(model.timeline[0].action);
    EXPECT_EQ(set.removedKeys, std::vector<std::string>{"gone"});
    EXPECT_EQ(std::get<SimMessageEvent>(model.timeline[1].action).type, 0xE0024100u);
    EXPECT_EQ(model.timeline[1].path, "$.timeline[1].message");
    EXPECT_TRUE(std::get<SimMobileEvent>(model.timeline[2].action).update.clearUsbSerial);
    EXPECT_TRUE(std::get<SimMobileEvent>(model.timeline[3].action).remove);
}

TEST(SimulationLoader, MobileUpdatesMergeIntoTheDevice) {
    SimMobileDevice device;
    device.identifier = "A";
    device.usbSerial = "S";
    device.values["com.apple.mobile.battery"] = {{"BatteryCurrentCapacity", PropertyValue::wholeNumber(80)},
                                                 {"ExternalConnected", PropertyValue::boolean(true)}};
    SimMobileDeviceUpdate update;
    update.identifier = "A";
    update.clearUsbSerial = true;
    update.startSession = -1;
    update.values["com.apple.mobile.battery"] = {{"BatteryCurrentCapacity", PropertyValue::wholeNumber(79)}};
    const auto merged = applyUpdate(device, update);
    EXPECT_EQ(merged.usbSerial, std::nullopt);
    EXPECT_EQ(merged.startSession, -1);
    EXPECT_EQ(copyValue(merged, "com.apple.mobile.battery", "BatteryCurrentCapacity")->number()->value, 79);
    EXPECT_EQ(copyValue(merged, "com.apple.mobile.battery", "ExternalConnected")->booleanValue(), true);
    EXPECT_EQ(copyValue(merged, "other", "x"), std::nullopt);
}

TEST(SimulationLoader, ParsesInternetDateTimes) {
    EXPECT_EQ(parseIso8601("1970-01-01T00:00:00Z"), 0.0);
    EXPECT_EQ(parseIso8601("2026-12-06T22:30:16Z"), 1796596216.0);
    EXPECT_EQ(parseIso8601("2026-12-06T23:30:16.25+01:00"), 1796596216.25);
    EXPECT_EQ(parseIso8601("2024-02-29T00:00:00Z"), 1709164800.0);
    for (const char* bad : {"2026-02-30T00:00:00Z", "2026-12-06 22:30:16Z", "2026-12-06T22:30:16", "2026-12-06T24:00:00Z",
                            "2026-12-06T22:30:16.Z", "2026-12-06T22:30:16Zx", ""})
        EXPECT_EQ(parseIso8601(bad), std::nullopt) << bad;
}

TEST(SimulationLoader, TheDocumentedExampleLoads) {
    // The example in docs/simulation.md is what users copy; it must stay valid.
    std::ifstream doc(std::string(AMPWELL_SOURCE_DIR) + "/docs/simulation.md");
    ASSERT_TRUE(doc) << "docs/simulation.md is missing";
    std::stringstream text;
    text << doc.rdbuf();
    const std::string markdown = text.str();
    const auto start = markdown.find("```json\n");
    ASSERT_NE(start, std::string::npos);
    const auto end = markdown.find("```", start + 8);
    const auto model = parseSimulation(markdown.substr(start + 8, end - start - 8), "docs/simulation.md");
    EXPECT_FALSE(model.registry.empty());
    EXPECT_FALSE(model.timeline.empty());
}

}  // namespace
}  // namespace ampwell::platform::sim
