#include "app/assessment/BatteryTrendMonitor.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

using platform::Date;

const Date kT = platform::dateFromSecondsSince1970(1'800'000'000.0);
Date at(double offset) { return kT + platform::Seconds(offset); }
const std::optional<std::string> kConnection = std::string("ser1:boot:42");

DeviceBattery reading(int percent, bool charging, double sampledOffset) {
    DeviceBattery battery;
    battery.serial = "SER-1";
    battery.deviceClass = "iPad";
    battery.percent = percent;
    battery.isCharging = charging;
    battery.externalConnected = true;
    battery.sampledAt = at(sampledOffset);
    return battery;
}

// A reading sampled and evaluated at the same moment.
TrendStatus feed(BatteryTrendMonitor& monitor, int percent, double offset, bool charging = true) {
    return monitor.update(kConnection, reading(percent, charging, offset), at(offset));
}

// Charging, 77 % down to 75 % by one reading a minute; the last reading is falling.
TrendStatus drainForFiveMinutes(BatteryTrendMonitor& monitor) {
    const int percents[] = {77, 77, 76, 75, 75};
    for (int i = 0; i < 5; ++i) feed(monitor, percents[i], 60.0 * i);
    return feed(monitor, 75, 300);
}

TEST(BatteryTrendMonitor, AFirstReadingIsSteady) {
    BatteryTrendMonitor monitor;
    const TrendStatus status = feed(monitor, 50, 0);
    EXPECT_FALSE(status.falling);
    EXPECT_EQ(status.message, "电量暂时稳定");
    EXPECT_FALSE(status.incident);
    EXPECT_EQ(monitor.samples().size(), 1u);
}

TEST(BatteryTrendMonitor, AChargingIPadLosingTwoPointsOverFiveMinutesIsFalling) {
    BatteryTrendMonitor monitor;
    const int percents[] = {75, 75, 74, 74, 74};
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(feed(monitor, percents[i], 60.0 * i).falling) << i;
    const Date now = at(300) + platform::Seconds(0.75);
    TrendStatus status = monitor.update(kConnection, reading(73, true, 300), now);
    EXPECT_TRUE(status.falling);
    EXPECT_EQ(status.message, "接电仍持续掉电 · 约 5 分钟电量-2 个百分点");
    EXPECT_EQ(status.incident, "ser1:boot:42:1800000300");
    status = feed(monitor, 73, 360);
    EXPECT_TRUE(status.falling);
    EXPECT_EQ(status.incident, "ser1:boot:42:1800000300");
}

TEST(BatteryTrendMonitor, TheDropMustSpanFiveMinutesAndTwoPoints) {
    BatteryTrendMonitor monitor;
    for (int i = 0; i < 5; ++i) feed(monitor, 70, 60.0 * i);
    EXPECT_FALSE(feed(monitor, 68, 299).falling);
    EXPECT_TRUE(feed(monitor, 68, 300).falling);

    BatteryTrendMonitor small;
    for (int i = 0; i < 5; ++i) feed(small, 70, 60.0 * i);
    const TrendStatus status = feed(small, 69, 300);
    EXPECT_FALSE(status.falling);
    EXPECT_EQ(status.message, "约 5 分钟电量-1 个百分点");
}

// Samples at most 90 s apart, so evidence 300 s old always comes with several samples; the
// sparsest series that can fall has five.
TEST(BatteryTrendMonitor, TheSparsestSeriesWithEvidenceIsJudged) {
    BatteryTrendMonitor monitor;
    for (double seconds : {0.0, 90.0, 180.0, 270.0}) feed(monitor, 70, seconds);
    EXPECT_TRUE(feed(monitor, 68, 300).falling);
    EXPECT_EQ(monitor.samples().size(), 5u);
}

TEST(BatteryTrendMonitor, ANonChargingIPadIsJudgedOnlyBelowSeventyFivePercent) {
    BatteryTrendMonitor monitor;
    for (int i = 0; i <= 5; ++i) feed(monitor, 80, 60.0 * i, false);
    EXPECT_FALSE(feed(monitor, 78, 360, false).falling);
    EXPECT_FALSE(feed(monitor, 75, 420, false).falling);
    EXPECT_TRUE(feed(monitor, 75, 480, true).falling);  // charging counts at any level
    EXPECT_TRUE(feed(monitor, 74, 540, false).falling);
}

TEST(BatteryTrendMonitor, AShortPlateauKeepsTheIncident) {
    BatteryTrendMonitor monitor;
    const int percents[] = {80, 80, 79, 78, 78};
    for (int i = 0; i < 5; ++i) feed(monitor, percents[i], 60.0 * i);
    const TrendStatus drain = feed(monitor, 77, 300);
    ASSERT_TRUE(drain.falling);
    ASSERT_TRUE(drain.incident);
    const TrendStatus resting = feed(monitor, 77, 315, false);  // at the cap, not charging
    EXPECT_FALSE(resting.falling);
    EXPECT_EQ(resting.incident, drain.incident);
    EXPECT_EQ(resting.message, "约 5 分钟电量-3 个百分点");
    EXPECT_EQ(feed(monitor, 77, 330).incident, drain.incident);
}

TEST(BatteryTrendMonitor, ARiseRestartsTheSeriesAndEndsTheIncident) {
    BatteryTrendMonitor monitor;
    ASSERT_TRUE(drainForFiveMinutes(monitor).incident);
    const TrendStatus status = feed(monitor, 76, 315);
    EXPECT_FALSE(status.falling);
    EXPECT_EQ(status.message, "电量暂时稳定");
    EXPECT_FALSE(status.incident);
    EXPECT_EQ(monitor.samples().size(), 1u);
}

TEST(BatteryTrendMonitor, AGapOfMoreThanNinetySecondsRestartsTheSeries) {
    BatteryTrendMonitor monitor;
    feed(monitor, 60, 0);
    feed(monitor, 60, 90);
    EXPECT_EQ(monitor.samples().size(), 2u);
    feed(monitor, 60, 181);
    EXPECT_EQ(monitor.samples().size(), 1u);
}

TEST(BatteryTrendMonitor, LosingExternalPowerClearsTheSeries) {
    BatteryTrendMonitor monitor;
    ASSERT_TRUE(drainForFiveMinutes(monitor).incident);
    DeviceBattery unplugged = reading(74, false, 315);
    unplugged.externalConnected = false;
    const TrendStatus status = monitor.update(kConnection, unplugged, at(315));
    EXPECT_FALSE(status.falling);
    EXPECT_EQ(status.message, "电量趋势暂不可用");
    EXPECT_FALSE(status.incident);
    EXPECT_TRUE(monitor.samples().empty());
    EXPECT_FALSE(monitor.incident());
}

TEST(BatteryTrendMonitor, UnusableReadingsLeaveTheSeriesAlone) {
    BatteryTrendMonitor monitor;
    feed(monitor, 60, 0);
    DeviceBattery unknownPower = reading(60, true, 10);
    unknownPower.externalConnected.reset();
    DeviceBattery noPercent = reading(60, true, 10);
    noPercent.percent.reset();
    const std::vector<std::pair<std::optional<DeviceBattery>, double>> unusable{{std::nullopt, 10},
                                                                                {unknownPower, 10},
                                                                                {noPercent, 10},
                                                                                {reading(59, true, 10), 10 + 76},
                                                                                {reading(59, true, 10), 10 - 6}};
    for (const auto& [battery, now] : unusable) {
        const TrendStatus status = monitor.update(kConnection, battery, at(now));
        EXPECT_EQ(status.message, "电量趋势暂不可用");
        EXPECT_FALSE(status.falling);
    }
    EXPECT_EQ(monitor.samples().size(), 1u);
    // Five seconds ahead and seventy-five behind are still usable.
    EXPECT_EQ(monitor.update(kConnection, reading(60, true, 10), at(10 - 5)).message, "电量暂时稳定");
    EXPECT_EQ(monitor.update(kConnection, reading(60, true, 20), at(20 + 75)).message, "电量暂时稳定");
    EXPECT_EQ(monitor.samples().size(), 3u);
}

TEST(BatteryTrendMonitor, AnotherOrNoConnectionStartsAfresh) {
    BatteryTrendMonitor monitor;
    feed(monitor, 60, 0);
    feed(monitor, 60, 60);
    EXPECT_EQ(monitor.update(std::string("other"), reading(60, true, 120), at(120)).message, "电量暂时稳定");
    EXPECT_EQ(monitor.samples().size(), 1u);
    EXPECT_EQ(monitor.update(std::nullopt, reading(60, true, 180), at(180)).message, "电量趋势暂不可用");
    EXPECT_TRUE(monitor.samples().empty());
    EXPECT_FALSE(monitor.connection());
}

TEST(BatteryTrendMonitor, TheWindowKeepsOneHourOfSamples) {
    BatteryTrendMonitor monitor;
    for (int seconds = 0; seconds <= 3600; seconds += 15) feed(monitor, 60, seconds);
    EXPECT_EQ(monitor.samples().size(), 241u);
    EXPECT_EQ(monitor.samples().front().time, at(0));  // exactly an hour old stays
    feed(monitor, 60, 3601);
    EXPECT_EQ(monitor.samples().front().time, at(15));
    const TrendStatus status = feed(monitor, 59, 3615);
    EXPECT_EQ(monitor.samples().size(), 242u);  // 15 s through 3615 s
    EXPECT_EQ(status.message, "约 60 分钟电量-1 个百分点");
}

TEST(BatteryTrendMonitor, ALateRecordOfAHigherChargeShowsARiseOfAtLeastOneMinute) {
    BatteryTrendMonitor monitor;
    feed(monitor, 70, 0);
    feed(monitor, 70, 60);
    // Sampled before the newest kept sample: not recorded, but described against the oldest one.
    const TrendStatus status = monitor.update(kConnection, reading(72, true, 30), at(60));
    EXPECT_EQ(status.message, "约 1 分钟电量+2 个百分点");
    EXPECT_EQ(monitor.samples().size(), 2u);
}

TEST(BatteryTrendMonitor, TheIncidentNamesTheWholeSecondOfNow) {
    BatteryTrendMonitor monitor;
    for (int i = 0; i < 5; ++i) feed(monitor, 70, 60.0 * i);
    const TrendStatus status = monitor.update(kConnection, reading(68, true, 300), at(300.999));
    EXPECT_EQ(status.incident, "ser1:boot:42:1800000300");

    BatteryTrendMonitor early;
    const Date epoch = platform::dateFromSecondsSince1970(-1000.5);
    const auto feedEarly = [&](int percent, double offset) {
        DeviceBattery battery = reading(percent, true, 0);
        battery.sampledAt = epoch + platform::Seconds(offset);
        return early.update(kConnection, battery, battery.sampledAt);
    };
    for (int i = 0; i < 5; ++i) feedEarly(70, 60.0 * i);
    EXPECT_EQ(feedEarly(68, 300).incident, "ser1:boot:42:-700");
}

}  // namespace
}  // namespace ampwell
