#include "app/assessment/IndicatorState.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_map>

namespace ampwell {
namespace {

TEST(IndicatorState, RawValuesRoundTripInDeclarationOrder) {
    ASSERT_EQ(IndicatorState::allCases.size(), 3u);
    EXPECT_EQ(IndicatorState::allCases[0], IndicatorState::normal);
    EXPECT_EQ(IndicatorState::allCases[1], IndicatorState::low);
    EXPECT_EQ(IndicatorState::allCases[2], IndicatorState::unavailable);
    EXPECT_EQ(IndicatorState(IndicatorState::normal).rawValue(), "normal");
    EXPECT_EQ(IndicatorState(IndicatorState::low).rawValue(), "low");
    EXPECT_EQ(IndicatorState(IndicatorState::unavailable).rawValue(), "unavailable");
    std::unordered_map<IndicatorState, int> seen;
    for (IndicatorState state : IndicatorState::allCases) {
        EXPECT_EQ(IndicatorState::fromRawValue(state.rawValue()), state);
        ++seen[state];
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST(IndicatorState, OnlyTheExactRawTextConstructs) {
    EXPECT_EQ(IndicatorState::fromRawValue("Low"), std::nullopt);
    EXPECT_EQ(IndicatorState::fromRawValue("low "), std::nullopt);
    EXPECT_EQ(IndicatorState::fromRawValue(""), std::nullopt);
}

TEST(IndicatorState, PowerJudgesOneReadingAgainstTheThreshold) {
    EXPECT_EQ(IndicatorState::power(10.0, 10.0), IndicatorState::normal);
    EXPECT_EQ(IndicatorState::power(9.99, 10.0), IndicatorState::low);
    EXPECT_EQ(IndicatorState::power(0.0, 10.0), IndicatorState::low);
    EXPECT_EQ(IndicatorState::power(std::nullopt, 10.0), IndicatorState::unavailable);
    EXPECT_EQ(IndicatorState::power(std::nan(""), 10.0), IndicatorState::unavailable);
    EXPECT_EQ(IndicatorState::power(std::numeric_limits<double>::infinity(), 10.0), IndicatorState::unavailable);
    EXPECT_EQ(IndicatorState::power(-0.5, 10.0), IndicatorState::unavailable);
}

}  // namespace
}  // namespace ampwell
