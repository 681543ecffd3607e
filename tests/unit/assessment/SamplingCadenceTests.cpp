#include "app/assessment/SamplingCadence.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

using platform::Date;

const Date kT = platform::dateFromSecondsSince1970(1'800'000'000.0);
Date at(double offset) { return kT + platform::Seconds(offset); }
// Near 1970 the offsets keep their exact decimal value, so the spacing boundaries meet exactly.
Date exact(double offset) { return platform::dateFromSecondsSince1970(offset); }

TEST(SamplingCadence, AFreshValueTicksSlowlyAndReadsTheBatteryAtOnce) {
    const SamplingCadence cadence;
    EXPECT_EQ(cadence.interval(kT), 30.0);
    EXPECT_EQ(cadence.interval(), 30.0);
    EXPECT_FALSE(cadence.isFast(kT));
    EXPECT_TRUE(cadence.batteryReadDue(std::nullopt, kT));
    EXPECT_FALSE(cadence.batteryReadDue(exact(0), exact(29.94)));
    EXPECT_TRUE(cadence.batteryReadDue(exact(0), exact(29.95)));
}

TEST(SamplingCadence, AConnectionChangeOpensAThirtySecondWindowAndWaitsForPowerUpTo120Seconds) {
    SamplingCadence cadence;
    cadence.connectionsChanged(true, kT);
    EXPECT_EQ(cadence.fastUntil(), at(30));
    EXPECT_EQ(cadence.firstReadingDeadline(), at(120));
    EXPECT_TRUE(cadence.waitingForPower());
    EXPECT_EQ(cadence.interval(at(29)), 1.0);
    EXPECT_EQ(cadence.interval(at(30)), 1.0);  // the window is over, the wait is not
    EXPECT_TRUE(cadence.isFast(at(119.9)));
    EXPECT_FALSE(cadence.isFast(at(120)));
    EXPECT_EQ(cadence.interval(at(120)), 30.0);

    cadence.observePower(false);
    EXPECT_EQ(cadence.interval(at(29.9)), 1.0);
    EXPECT_FALSE(cadence.isFast(at(30)));
    EXPECT_EQ(cadence.interval(at(31)), 30.0);
}

TEST(SamplingCadence, BatteryReadsAreSpacedFiveSecondsApartOnlyInsideTheWindow) {
    SamplingCadence cadence;
    cadence.connectionsChanged(true, exact(0));
    EXPECT_TRUE(cadence.batteryReadDue(exact(0), exact(5)));
    EXPECT_FALSE(cadence.batteryReadDue(exact(0), exact(4)));
    EXPECT_FALSE(cadence.batteryReadDue(exact(0), exact(4.94)));
    EXPECT_TRUE(cadence.batteryReadDue(exact(0), exact(4.95)));
    // Outside the window, still waiting for power: the slow spacing.
    EXPECT_FALSE(cadence.batteryReadDue(exact(1), exact(30.9)));
    EXPECT_TRUE(cadence.batteryReadDue(exact(1), exact(31)));
    // Menu sampling does not shorten it either.
    cadence.setMenuSampling(true);
    EXPECT_FALSE(cadence.batteryReadDue(exact(1), exact(30.9)));
}

TEST(SamplingCadence, AReadStampedAfterNowMeansTheClockWasSetBack) {
    const SamplingCadence cadence;
    EXPECT_TRUE(cadence.batteryReadDue(at(3600), kT));
}

TEST(SamplingCadence, TheOpenMenuTicksEveryTwoSecondsAndClosingItCutsTheWindow) {
    SamplingCadence cadence;
    cadence.connectionsChanged(true, kT);
    cadence.setMenuSampling(true);
    EXPECT_EQ(cadence.interval(at(1)), 2.0);
    EXPECT_EQ(cadence.interval(at(500)), 2.0);
    EXPECT_FALSE(cadence.isFast(at(500)));

    cadence.setMenuSampling(false);  // switching sampling off alone leaves the window
    EXPECT_EQ(cadence.fastUntil(), at(30));
    cadence.setMenuSampling(true);
    cadence.menuClosed();
    EXPECT_FALSE(cadence.isMenuSampling());
    EXPECT_FALSE(cadence.fastUntil());
    EXPECT_EQ(cadence.firstReadingDeadline(), at(120));
    EXPECT_EQ(cadence.interval(at(1)), 1.0);  // still waiting for power
    EXPECT_TRUE(cadence.batteryReadDue(at(0), at(29.96)));
    EXPECT_FALSE(cadence.batteryReadDue(at(0), at(5)));  // no window, so the slow spacing
}

TEST(SamplingCadence, AConnectionChangeWithoutDevicesEndsEveryPhaseButTheMenu) {
    SamplingCadence cadence(at(30), true);
    EXPECT_EQ(cadence.fastUntil(), at(30));
    EXPECT_FALSE(cadence.firstReadingDeadline());
    EXPECT_FALSE(cadence.waitingForPower());
    EXPECT_TRUE(cadence.isMenuSampling());

    cadence.connectionsChanged(true, kT);
    cadence.connectionsChanged(false, at(1));
    EXPECT_FALSE(cadence.fastUntil());
    EXPECT_FALSE(cadence.firstReadingDeadline());
    EXPECT_FALSE(cadence.waitingForPower());
    EXPECT_TRUE(cadence.isMenuSampling());
    EXPECT_FALSE(cadence.isFast(at(2)));
}

}  // namespace
}  // namespace ampwell
