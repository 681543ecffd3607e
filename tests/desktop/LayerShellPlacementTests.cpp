#include "platform/linux/desktop/LayerShellPlacement.hpp"

#include <gtest/gtest.h>

namespace ampwell::tests {
namespace {

using platform::linux_::layerAnchorFor;
using platform::linux_::ScreenRect;

TEST(LayerShellPlacement, AnchorsAtTheBarsEdgeAndCornerUnderTheClick) {
    // A second 1920 × 1080 output to the right of the first, a 30-pixel bar at the top of it.
    const ScreenRect monitor{1920, 0, 1920, 1080};
    const ScreenRect topBar{1920, 30, 1920, 1050};
    // A click on the tray near the right end of the top bar: top edge, right corner, centred
    // under the click.
    auto anchor = layerAnchorFor(monitor, topBar, 1920 + 1600, 12, 300);
    EXPECT_TRUE(anchor.top);
    EXPECT_FALSE(anchor.left);
    EXPECT_EQ(anchor.sideMargin, 1920 - 1600 - 150);
    EXPECT_EQ(anchor.edgeMargin, 4);
    // Too close to the corner to centre: flush with it rather than off the output.
    anchor = layerAnchorFor(monitor, topBar, 1920 + 1910, 12, 300);
    EXPECT_EQ(anchor.sideMargin, 0);
    // A bottom bar clicked at its left end.
    anchor = layerAnchorFor(monitor, {1920, 0, 1920, 1050}, 1920 + 40, 1070, 300);
    EXPECT_FALSE(anchor.top);
    EXPECT_TRUE(anchor.left);
    EXPECT_EQ(anchor.sideMargin, 0);
}

TEST(LayerShellPlacement, WithoutAClickTheWorkAreaTellsTheBarsEdge) {
    const ScreenRect monitor{0, 0, 1280, 800};
    auto anchor = layerAnchorFor(monitor, {0, 0, 1280, 770}, 0, 0, 300);  // a bar at the bottom
    EXPECT_FALSE(anchor.top);
    EXPECT_FALSE(anchor.left);  // trays sit at the right end
    anchor = layerAnchorFor(monitor, {0, 26, 1280, 774}, 0, 0, 300);
    EXPECT_TRUE(anchor.top);
    anchor = layerAnchorFor(monitor, {0, 0, 0, 0}, 0, 0, 300);  // nothing known: the top
    EXPECT_TRUE(anchor.top);
    // waybar sends the click's place inside its tray icon, whatever the icon's place on the bar:
    // no screen position, so not the left-hand corner that (9, 14) would mean.
    anchor = layerAnchorFor(monitor, {0, 30, 1280, 770}, 9, 14, 360);
    EXPECT_TRUE(anchor.top);
    EXPECT_FALSE(anchor.left);
    EXPECT_EQ(anchor.sideMargin, 4);
}

}  // namespace
}  // namespace ampwell::tests
