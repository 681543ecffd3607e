#include "app/entry/IndicatorSelfChecks.hpp"
#include "app/entry/Modes.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace ampwell {
namespace {

TEST(IndicatorSelfChecks, PassAtAnyStartTime) {
    // Fractions of a second and the last hour before 2^31 s (where an offset added to a
    // fractional start would round differently) must not change any verdict.
    const double acrossTwoToThe31 = 2'147'483'648.0 - 200 + 0x1p-22;  // t0 + 300 would round down
    for (double start : {1'800'000'000.0, 1'765'059'016.731, acrossTwoToThe31, 4.1e9}) {
        EXPECT_EQ(runIndicatorSelfChecks(platform::dateFromSecondsSince1970(start)), std::nullopt)
            << std::fixed << start;
    }
}

TEST(IndicatorSelfChecks, SuccessPrintsOnlyTheSummaryLine) {
    std::ostringstream out, err;
    EXPECT_EQ(reportIndicatorSelfChecks(std::nullopt, out, err), 0);
    EXPECT_EQ(out.str(), std::string(kIndicatorSelfChecksPassed) + "\n");
    EXPECT_EQ(err.str(), "");
}

TEST(IndicatorSelfChecks, AFailureNamesTheStepOnTheErrorStreamOnly) {
    std::ostringstream out, err;
    EXPECT_EQ(reportIndicatorSelfChecks(std::string("C7"), out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "ampwell: self-check C7 failed\n");
}

TEST(IndicatorSelfChecks, TheModeNeedsNoPlatform) {
    std::ostringstream out, err;
    ModeContext context({"ampwell", "--check-indicator"}, out, err,
                        []() -> std::unique_ptr<platform::Platform> { throw platform::PlatformError("no backend"); });
    EXPECT_EQ(runCheckIndicator(context), 0);
    EXPECT_EQ(out.str(), std::string(kIndicatorSelfChecksPassed) + "\n");
    EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace ampwell
