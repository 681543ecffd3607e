// The status icon: a coloured 14 x 16 tablet with a bolt, named after its state.
#include "app/ui/PowerMenuUI.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"
#include "tests/unit/support/Raster.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

using platform::Appearance;
using platform::ColorRole;

TEST(IndicatorIcon, IsAColouredTabletNamedAfterItsState) {
    for (IndicatorState state : IndicatorState::allCases) {
        const auto icon = indicatorIcon(state);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->name(), state.rawValue());
        EXPECT_FALSE(icon->isTemplate());
        EXPECT_EQ(icon->accessibilityDescription(), "iPad 充电功率状态");
        EXPECT_EQ(icon->width(), 14);
        EXPECT_EQ(icon->height(), 16);
    }
}

// Drawn 4x so that the 1-point outline covers whole pixels: outline, bolt and the empty gap
// between them all carry the state colour of the appearance, yellow for low even on dark.
TEST(IndicatorIcon, OutlineAndBoltHaveTheStateColourInEitherAppearance) {
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        for (auto [state, role] : {std::pair{IndicatorState::normal, ColorRole::green},
                                   std::pair{IndicatorState::low, ColorRole::yellow},
                                   std::pair{IndicatorState::unavailable, ColorRole::grey}}) {
            auto bitmap = platform::makeBitmapCanvas({14, 16}, 4, appearance);
            ASSERT_TRUE(bitmap->drawImage(*indicatorIcon(state), {0, 0, 14, 16}));
            const auto expected = platform::resolveColorRole(role, appearance);
            EXPECT_TRUE(test::pixelNear(bitmap->pixel(5, 32), expected)) << "outline, " << state;
            EXPECT_TRUE(test::pixelNear(bitmap->pixel(28, 32), expected)) << "bolt, " << state;
            EXPECT_TRUE(test::pixelNear(bitmap->pixel(12, 12), test::kClear)) << "inside the tablet, " << state;
            // The camera dot sits near the top in the picture, since the icon is drawn bottom-up.
            EXPECT_GT(bitmap->pixel(28, 8).alpha, 0) << "camera dot, " << state;
        }
    }
}

TEST(IndicatorColor, NormalIsGreenLowYellowUnavailableGrey) {
    EXPECT_EQ(indicatorColor(IndicatorState::normal), platform::Color::role(ColorRole::green));
    EXPECT_EQ(indicatorColor(IndicatorState::low), platform::Color::role(ColorRole::yellow));
    EXPECT_EQ(indicatorColor(IndicatorState::unavailable), platform::Color::role(ColorRole::grey));
}

}  // namespace
}  // namespace ampwell
