// The three menu views: what update() makes of their texts, and what they draw where, probed in
// the pixels of a 2x bitmap in both appearances.
#include "app/ui/PowerMenuUI.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"
#include "tests/unit/support/Raster.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

using platform::Appearance;
using platform::ColorRole;
using platform::RGBA;
using platform::resolveColorRole;

constexpr double kScale = 2;

std::unique_ptr<platform::BitmapCanvas> drawAt2x(platform::MenuView& view, Appearance appearance,
                                                 bool windowVisible = false) {
    auto bitmap = platform::makeBitmapCanvas({view.width(), view.height()}, kScale, appearance);
    view.draw(*bitmap, windowVisible);
    return bitmap;
}

// The pixel under a point of the view.
platform::Pixel at(platform::BitmapCanvas& bitmap, double x, double y) {
    return bitmap.pixel(static_cast<int>(x * kScale), static_cast<int>(y * kScale));
}

TEST(PowerOverviewView, StartsWaitingAndUpdateSetsTooltipAndAccessibilityLabel) {
    PowerOverviewView view;
    EXPECT_EQ(view.power(), "— W");
    EXPECT_EQ(view.caption(), "正在读取连接设备");
    EXPECT_EQ(view.status(), "正在读取 iPad 状态");
    EXPECT_EQ(view.state(), IndicatorState::unavailable);
    EXPECT_EQ(view.accessibilityRole(), "staticText");
    int redraws = 0;
    view.onNeedsDisplay = [&] { ++redraws; };
    view.update("18.9 W", "3 台设备 · 接口合计", "iPad 80% · 上限保护，暂停充电", IndicatorState::normal);
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(view.tooltip(), "iPad 80% · 上限保护，暂停充电");
    EXPECT_EQ(view.accessibilityLabel(), "Ampwell，18.9 W，3 台设备 · 接口合计，iPad 80% · 上限保护，暂停充电");
    EXPECT_EQ(view.describe(), (nlohmann::json{{"kind", "overview"},
                                               {"power", "18.9 W"},
                                               {"caption", "3 台设备 · 接口合计"},
                                               {"status", "iPad 80% · 上限保护，暂停充电"},
                                               {"state", "normal"}}));
}

TEST(DevicePowerView, UpdateNamesTheStateInTooltipAndAccessibilityLabel) {
    DevicePowerView view;
    EXPECT_EQ(view.power(), "— W");
    EXPECT_EQ(view.name(), "");
    EXPECT_EQ(view.state(), IndicatorState::unavailable);
    view.update("iPad", "8.4 W", "USB-C 1 · 80% · 未充电", "5.22 V  /  1.61 A", IndicatorState::normal);
    EXPECT_EQ(view.tooltip(), "iPad · 8.4 W · 供电正常\nUSB-C 1 · 80% · 未充电\n5.22 V  /  1.61 A");
    EXPECT_EQ(view.accessibilityLabel(), "iPad，8.4 W，供电正常，USB-C 1 · 80% · 未充电，5.22 V  /  1.61 A");
    view.update("iPhone", "2.1 W", "b", "e", IndicatorState::low);
    EXPECT_EQ(view.tooltip(), "iPhone · 2.1 W · 功率低于分界\nb\ne");
    view.update("SSD", "— W", "", "", IndicatorState::unavailable);
    EXPECT_EQ(view.tooltip(), "SSD · — W · 等待读数\n\n");
    EXPECT_EQ(view.accessibilityLabel(), "SSD，— W，等待读数，，");
    EXPECT_EQ(view.describe()["state"], "unavailable");
}

TEST(PowerFootnoteView, UpdateSetsTooltipAndAccessibilityLabelToTheTrend) {
    PowerFootnoteView view;
    view.update("电量暂时稳定", true);
    EXPECT_EQ(view.tooltip(), "电量暂时稳定");
    EXPECT_EQ(view.accessibilityLabel(), "电量暂时稳定");
    EXPECT_TRUE(view.warning());
    EXPECT_EQ(view.describe(), (nlohmann::json{{"kind", "footnote"}, {"trend", "电量暂时稳定"}, {"warning", true}}));
}

TEST(MenuViews, RenderCallbacksGetTheDrawnTextAndTheWindowFlag) {
    PowerOverviewView overview;
    DevicePowerView card;
    PowerFootnoteView footnote;
    card.update("iPad", "8.4 W", "", "", IndicatorState::normal);
    footnote.update("电量暂时稳定", false);
    std::vector<std::pair<std::string, bool>> calls;
    auto record = [&](const std::string& text, bool visible) { calls.emplace_back(text, visible); };
    overview.onPowerRendered = record;
    card.onPowerRendered = record;
    footnote.onRendered = record;
    drawAt2x(overview, Appearance::light, true);
    drawAt2x(card, Appearance::light, false);
    drawAt2x(footnote, Appearance::light, true);
    EXPECT_EQ(calls, (std::vector<std::pair<std::string, bool>>{{"— W", true}, {"8.4 W", false}, {"电量暂时稳定", true}}));
}

class InBothAppearances : public ::testing::TestWithParam<Appearance> {};

TEST_P(InBothAppearances, OverviewDotHasTheStateColour) {
    PowerOverviewView view;
    for (auto [state, role] : {std::pair{IndicatorState::normal, ColorRole::green},
                               std::pair{IndicatorState::low, ColorRole::yellow},
                               std::pair{IndicatorState::unavailable, ColorRole::grey}}) {
        view.update("1 W", "c", "s", state);
        auto bitmap = drawAt2x(view, GetParam());
        EXPECT_TRUE(test::pixelNear(at(*bitmap, 23, 109), resolveColorRole(role, GetParam()))) << state;
        EXPECT_TRUE(test::pixelNear(at(*bitmap, 23, 104), test::kClear)) << "nothing above the dot";
    }
}

TEST_P(InBothAppearances, CardBadgeAndBoltHaveTheStateColour) {
    DevicePowerView view;
    for (auto [state, role] : {std::pair{IndicatorState::normal, ColorRole::green},
                               std::pair{IndicatorState::low, ColorRole::yellow},
                               std::pair{IndicatorState::unavailable, ColorRole::grey}}) {
        view.update("iPad", "8.4 W", "b", "e", state);
        auto bitmap = drawAt2x(view, GetParam());
        const RGBA stateColor = resolveColorRole(role, GetParam());
        RGBA cardFill = resolveColorRole(ColorRole::label, GetParam());
        cardFill.alpha *= 0.045;
        RGBA badge = stateColor;
        badge.alpha *= 0.1;
        EXPECT_TRUE(test::pixelNear(at(*bitmap, 35, 33), stateColor)) << "bolt, " << state;
        EXPECT_TRUE(test::pixelNear(at(*bitmap, 21, 37), test::over(cardFill, badge))) << "badge, " << state;
        EXPECT_TRUE(test::pixelNear(at(*bitmap, 14, 70), cardFill)) << "card, " << state;
        EXPECT_TRUE(test::pixelNear(at(*bitmap, 5, 40), test::kClear)) << "outside the card, " << state;
    }
}

// The strongest pixel of the footnote's text: its ink at full coverage.
platform::Pixel footnoteInk(platform::BitmapCanvas& bitmap) {
    platform::Pixel strongest;
    for (int y = 8; y < 44; ++y)
        for (int x = 38; x < 684; ++x)
            if (bitmap.pixel(x, y).alpha > strongest.alpha) strongest = bitmap.pixel(x, y);
    return strongest;
}

TEST_P(InBothAppearances, FootnoteIsOrangeOnlyWhenItWarns) {
    PowerFootnoteView view;
    view.update("iPad 持续掉电", true);
    auto warning = drawAt2x(view, GetParam());
    EXPECT_TRUE(test::pixelNear(footnoteInk(*warning), resolveColorRole(ColorRole::orange, GetParam()), 3));
    view.update("iPad 持续掉电", false);
    auto calm = drawAt2x(view, GetParam());
    EXPECT_TRUE(test::pixelNear(footnoteInk(*calm), resolveColorRole(ColorRole::secondaryLabel, GetParam()), 3));
}

INSTANTIATE_TEST_SUITE_P(Appearances, InBothAppearances, ::testing::Values(Appearance::light, Appearance::dark),
                         [](const auto& info) { return std::string(platform::appearanceName(info.param)); });

}  // namespace
}  // namespace ampwell
