#pragma once

#include "app/history/HistoryChartData.hpp"
#include "platform/base/Translation.hpp"
#include "platform/base/Clock.hpp"
#include "platform/drawing/Canvas.hpp"
#include "platform/drawing/Color.hpp"
#include "platform/drawing/Geometry.hpp"

#include <array>
#include <vector>

namespace ampwell {

// The spans the chart window offers, and what each is called on its button.
struct HistorySpan {
    const char* title;
    platform::Seconds length;
};
inline constexpr std::array<HistorySpan, 3> kHistorySpans{{
    {platform::trMarked("2 小时"), platform::Seconds(2.0 * 3600.0)},
    {platform::trMarked("24 小时"), platform::Seconds(24.0 * 3600.0)},
    {platform::trMarked("7 天"), platform::Seconds(7.0 * 86400.0)},
}};

// Where one device's plot sits and how its values map onto it, as drawHistoryChart lays it out.
struct HistoryChartFrame {
    platform::Rect plot;
    platform::Date from;
    platform::Date to;
    double wattsScale = 5.0;

    double xOf(platform::Date time) const;
    double yOfWatts(double watts) const;
    double yOfRatio(double ratio) const;
};

// Fixed colours of the chart: the text and grid follow the appearance through their roles.
inline const platform::Color kBatteryLineColor = platform::Color::role(platform::ColorRole::green);
inline const platform::Color kWattsLineColor = platform::Color::rgba(0.04, 0.52, 1.0);
inline const platform::Color kThresholdColor = platform::Color::role(platform::ColorRole::orange);
inline const platform::Color kDrainShade = platform::Color::rgba(1.0, 0.23, 0.19, 0.18);

// The height a chart of `deviceCount` devices takes at `width` points.
platform::Size historyChartSize(std::size_t deviceCount, double width);
// The frame of the `index`-th device's plot in a chart of `width` points.
HistoryChartFrame historyChartFrame(std::size_t index, const ChartDevice& device, double width, platform::Date from,
                                    platform::Date to);
// Draws the devices' battery (left axis, percent) and received watts (right axis) between `from`
// and `to`, one band each: the threshold as a dashed line, drain incidents shaded, connection
// changes as marks along the top of the plot. On a flipped canvas of `size` points, in its
// appearance.
void drawHistoryChart(platform::Canvas& canvas, platform::Size size, const std::vector<ChartDevice>& devices,
                      platform::Date from, platform::Date to);

}  // namespace ampwell
