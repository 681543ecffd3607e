#include "app/batteries/USBBatterySessions.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/DeviceBattery.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace ampwell {
namespace {

DeviceBattery battery(std::string serial) {
    return DeviceBattery{std::move(serial), "iPad", 50, true, true, platform::dateFromSecondsSince2001(1), std::nullopt, std::nullopt};
}

TEST(SerialNormalisation, TrimsRemovesDashesAndLowerCases) {
    EXPECT_EQ(normalizedSerial(" ab-CD-12\n"), "abcd12");
    EXPECT_EQ(normalizedSerial("\t\r\n 00008103-001A \u3000"), "00008103001a");
    EXPECT_EQ(normalizedSerial("- -"), " ");  // inner blanks stay; only the ends are trimmed
    EXPECT_EQ(normalizedSerial(""), "");
    EXPECT_EQ(normalizedSerial("ÄB-ç"), "äbç");
}

TEST(DeviceBatteryJSON, WritesOnlyPresentOptionals) {
    DeviceBattery bare{"S", "iOS", std::nullopt, std::nullopt, std::nullopt, platform::dateFromSecondsSince2001(3), std::nullopt, std::nullopt};
    EXPECT_EQ(toJSON(bare).dump(), R"({"deviceClass":"iOS","sampledAt":3.0,"serial":"S"})");
    bare.connectionID = "42";
    EXPECT_EQ(toJSON(bare).dump(), R"({"connectionID":"42","deviceClass":"iOS","sampledAt":3.0,"serial":"S"})");
    auto back = deviceBatteryFromJSON(toJSON(bare));
    EXPECT_FALSE(back.percent.has_value());
    EXPECT_EQ(back.connectionID, "42");
    EXPECT_THROW(deviceBatteryFromJSON(nlohmann::json{{"serial", "S"}, {"sampledAt", 1.0}}), nlohmann::json::exception);
}

TEST(BootIdentityText, WholeSecondsOrUnknown) {
    EXPECT_EQ(bootIdentityText(1764990000), "1764990000");
    EXPECT_EQ(bootIdentityText(std::nullopt), "unknown-boot");
}

TEST(BootIdentityText, ComputedOnceEvenWhenAskedFromManyThreads) {
    std::atomic<int> reads{0};
    BootIdentity identity([&] {
        ++reads;
        return std::optional<std::int64_t>(77);
    });
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&] { EXPECT_EQ(identity.text(), "77"); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(identity.text(), "77");
    EXPECT_EQ(reads.load(), 1);
}

TEST(SessionStamp, KeepsOnlyBatteriesWhoseSessionHeldAcrossTheRead) {
    USBBatterySessions::SessionMap before{{"aa11", "5"}, {"bb22", "6"}, {"cc33", ""}, {"dd44", "8"}};
    USBBatterySessions::SessionMap after{{"aa11", "5"}, {"bb22", "7"}, {"cc33", ""}};
    auto stamped = USBBatterySessions::stamp(
        {battery("AA-11"), battery("bb22"), battery("cc33"), battery("dd44"), battery("ee55")}, before, after);
    ASSERT_EQ(stamped.size(), 1u);
    EXPECT_EQ(stamped[0].serial, "AA-11");  // the record keeps the serial as reported
    EXPECT_EQ(stamped[0].connectionID, "5");
}

TEST(SessionStamp, KeepsInputOrder) {
    USBBatterySessions::SessionMap sessions{{"b", "2"}, {"a", "1"}};
    auto stamped = USBBatterySessions::stamp({battery("b"), battery("a")}, sessions, sessions);
    ASSERT_EQ(stamped.size(), 2u);
    EXPECT_EQ(stamped[0].serial, "b");
    EXPECT_EQ(stamped[1].serial, "a");
}

}  // namespace
}  // namespace ampwell
