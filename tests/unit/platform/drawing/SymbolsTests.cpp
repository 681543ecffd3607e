// The vector symbols: every name the menu uses draws inside its box, upright in either orientation,
// and an unknown name draws nothing rather than something wrong.
#include "platform/drawing/Symbols.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"
#include "tests/unit/support/Raster.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform {
namespace {

constexpr const char* kNames[] = {"bolt.fill",   "arrow.clockwise", "slider.horizontal.3", "cable.connector",
                                  "info.circle", "power",           "chart.xyaxis.line"};

int inkOutside(const test::Raster& raster, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x)
            if ((x < left || x >= right || y < top || y >= bottom) && raster.at(x, y).alpha > 0) ++count;
    return count;
}

TEST(Symbols, EachDrawsInsideItsBoxAndUprightInBothOrientations) {
    for (const char* name : kNames) {
        auto flipped = makeBitmapCanvas({30, 30}, 2, Appearance::light);
        ASSERT_TRUE(drawSymbol(*flipped, name, {8, 6, 14, 14}, Color::role(ColorRole::secondaryLabel))) << name;
        const auto drawn = test::copyPixels(*flipped);
        EXPECT_EQ(inkOutside(drawn, 16, 12, 44, 40), 0) << name;
        EXPECT_GT(inkOutside(drawn, 0, 0, 0, 0), 60) << name << " has hardly any ink";

        // Drawn bottom-up into the same place, a symbol must come out the same, not mirrored.
        auto unflipped = makeBitmapCanvas({30, 30}, 2, Appearance::light);
        unflipped->flipVertically(30);
        ASSERT_TRUE(drawSymbol(*unflipped, name, {8, 10, 14, 14}, Color::role(ColorRole::secondaryLabel)));
        EXPECT_TRUE(test::copyPixels(*unflipped).pixels == drawn.pixels) << name;

        const auto image = symbolImage(name, 14, Color::role(ColorRole::label));
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->name(), name);
        EXPECT_FALSE(image->isTemplate());
    }
}

TEST(Symbols, AnUnknownNameDrawsNothing) {
    auto bitmap = makeBitmapCanvas({30, 30}, 2, Appearance::light);
    EXPECT_FALSE(isKnownSymbol("bolt"));
    EXPECT_FALSE(drawSymbol(*bitmap, "bolt", {0, 0, 30, 30}, Color::role(ColorRole::label)));
    EXPECT_EQ(symbolImage("bolt", 14, Color::role(ColorRole::label)), nullptr);
    EXPECT_EQ(symbolSize("bolt", 14), std::nullopt);
    EXPECT_EQ(inkOutside(test::copyPixels(*bitmap), 0, 0, 0, 0), 0);
}

}  // namespace
}  // namespace ampwell::platform
