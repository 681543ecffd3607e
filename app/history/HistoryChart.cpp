#include "app/history/HistoryChart.hpp"
#include "platform/base/Translation.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <string>
#include <utility>

namespace ampwell {
namespace {

using platform::Color;
using platform::ColorRole;
using platform::Font;
using platform::FontRole;
using platform::FontWeight;
using platform::Path;
using platform::Point;
using platform::Rect;

constexpr double kTitleHeight = 22;
constexpr double kPlotHeight = 110;
constexpr double kAxisHeight = 18;
constexpr double kBandGap = 10;
constexpr double kBandHeight = kTitleHeight + kPlotHeight + kAxisHeight + kBandGap;
constexpr double kLeftMargin = 44;
constexpr double kRightMargin = 46;
constexpr double kTopMargin = 8;
constexpr double kEmptyHeight = 80;
// The least room between a band's title and its legend.
constexpr double kLegendMinimumGap = 24;

const Font kTitleFont{FontRole::system, 12, FontWeight::semibold};
const Font kAxisFont{FontRole::monospacedDigit, 10, FontWeight::regular};

// Grid steps of the time axis: the first that gives at most six labels.
constexpr std::array<double, 7> kTimeSteps{900, 1800, 3600, 3 * 3600, 6 * 3600, 12 * 3600, 86400};

std::string timeLabel(platform::Date date, bool withDay) {
    const auto seconds = static_cast<std::time_t>(std::floor(platform::secondsSince1970(date)));
    std::tm parts{};
    ::localtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, withDay ? "%m-%d %H:%M" : "%H:%M", &parts);
    return text;
}

void strokeLine(platform::Canvas& canvas, Point a, Point b, const Color& color, double width) {
    canvas.stroke(Path().moveTo(a).lineTo(b), color, {width});
}

// Dashes by hand: the canvas draws solid strokes only.
void dashedLine(platform::Canvas& canvas, double x0, double x1, double y, const Color& color) {
    Path path;
    for (double x = x0; x < x1; x += 7) path.moveTo({x, y}).lineTo({std::min(x + 4, x1), y});
    canvas.stroke(path, color, {1.5});
}

void drawAxes(platform::Canvas& canvas, const HistoryChartFrame& frame, const ChartDevice& device) {
    const Rect& plot = frame.plot;
    const Color grid = Color::role(ColorRole::separator);
    const platform::TextStyle left{kAxisFont, Color::role(ColorRole::secondaryLabel), platform::TextAlignment::right};
    const platform::TextStyle right{kAxisFont, Color::role(ColorRole::secondaryLabel), platform::TextAlignment::left};
    for (int quarter = 0; quarter <= 4; ++quarter) {
        const double y = frame.yOfRatio(quarter / 4.0);
        strokeLine(canvas, {plot.x, y}, {plot.maxX(), y}, grid, 1);
        if (quarter % 2 != 0) continue;
        canvas.drawText(fmt::format("{}%", quarter * 25), {0, y - 6, kLeftMargin - 6, 12}, left);
        canvas.drawText(fmt::format("{:g} W", device.wattsScale * quarter / 4),
                        {plot.maxX() + 6, y - 6, kRightMargin, 12}, right);
    }
    const double span = platform::secondsSince1970(frame.to) - platform::secondsSince1970(frame.from);
    const double step =
        *std::find_if(kTimeSteps.begin(), kTimeSteps.end() - 1, [&](double s) { return span / s <= 6; });
    const double first = std::ceil(platform::secondsSince1970(frame.from) / step) * step;
    const platform::TextStyle below{kAxisFont, Color::role(ColorRole::secondaryLabel), platform::TextAlignment::center};
    for (double t = first; t <= platform::secondsSince1970(frame.to); t += step) {
        const double x = frame.xOf(platform::dateFromSecondsSince1970(t));
        strokeLine(canvas, {x, plot.y}, {x, plot.maxY()}, grid, 1);
        canvas.drawText(timeLabel(platform::dateFromSecondsSince1970(t), step >= 86400),
                        {x - 40, plot.maxY() + 3, 80, 12}, below);
    }
}

void drawRuns(platform::Canvas& canvas, const HistoryChartFrame& frame, const std::vector<ChartRun>& runs, bool steps,
              double (HistoryChartFrame::*yOf)(double) const, const Color& color) {
    Path path;
    for (const auto& run : runs) {
        if (run.points.empty()) continue;
        path.moveTo({frame.xOf(run.points.front().time), (frame.*yOf)(run.points.front().value)});
        for (std::size_t i = 1; i < run.points.size(); ++i) {
            const double x = frame.xOf(run.points[i].time);
            if (steps) path.lineTo({x, (frame.*yOf)(run.points[i - 1].value)});
            path.lineTo({x, (frame.*yOf)(run.points[i].value)});
        }
        path.lineTo({frame.xOf(run.end), (frame.*yOf)(run.points.back().value)});
    }
    canvas.stroke(path, color, {steps ? 1.5 : 2.0, platform::LineCap::round, platform::LineJoin::round});
}

// What each line and mark means, right-aligned on the band's title row so that the chart reads
// without a manual: the colours alone say nothing to someone who sees it for the first time.
enum class LegendSwatch { battery, watts, threshold, drain, connection };
constexpr double kSwatch = 14;
constexpr double kSwatchGap = 4;
constexpr double kItemGap = 12;

std::array<std::pair<LegendSwatch, std::string>, 5> legendItems() {
    return {{
        {LegendSwatch::battery, platform::tr("电量")},
        {LegendSwatch::watts, platform::tr("接收功率")},
        {LegendSwatch::threshold, platform::tr("分界")},
        {LegendSwatch::drain, platform::tr("掉电")},
        {LegendSwatch::connection, platform::tr("连接变化")},
    }};
}

double legendWidth(platform::Canvas& canvas, const std::array<std::pair<LegendSwatch, std::string>, 5>& items) {
    double width = -kItemGap;
    for (const auto& item : items)
        width += kSwatch + kSwatchGap + canvas.measureText(item.second, kAxisFont).width + kItemGap;
    return width;
}

void drawLegend(platform::Canvas& canvas, const std::array<std::pair<LegendSwatch, std::string>, 5>& items, double x,
                double y) {
    const double mid = y + 8;
    for (const auto& [swatch, text] : items) {
        switch (swatch) {
        case LegendSwatch::battery: strokeLine(canvas, {x, mid}, {x + kSwatch, mid}, kBatteryLineColor, 2); break;
        case LegendSwatch::watts: strokeLine(canvas, {x, mid}, {x + kSwatch, mid}, kWattsLineColor, 1.5); break;
        case LegendSwatch::threshold: dashedLine(canvas, x, x + kSwatch, mid, kThresholdColor); break;
        case LegendSwatch::drain: canvas.fillRect({x, mid - 5, kSwatch, 10}, kDrainShade); break;
        case LegendSwatch::connection:
            canvas.fillPolygon({{x + 3, mid - 4}, {x + 11, mid - 4}, {x + 7, mid + 2}}, Color::role(ColorRole::label));
            break;
        }
        x += kSwatch + kSwatchGap;
        const double textWidth = canvas.measureText(text, kAxisFont).width;
        canvas.drawText(text, {x, y + 2, textWidth + 1, 12}, {kAxisFont, Color::role(ColorRole::secondaryLabel)});
        x += textWidth + kItemGap;
    }
}

void drawBand(platform::Canvas& canvas, const HistoryChartFrame& frame, const ChartDevice& device) {
    const Rect& plot = frame.plot;
    const std::string title =
        device.port.empty() ? device.name : platform::trFormat("{} · 端口 {}", device.name, device.port);
    canvas.drawText(title, {plot.x, plot.y - kTitleHeight + 3, plot.width, 16},
                    {kTitleFont, Color::role(ColorRole::label)});
    // Beside a title that leaves room for it; a narrow window keeps the title.
    const auto legend = legendItems();
    const double width = legendWidth(canvas, legend);
    if (canvas.measureText(title, kTitleFont).width + kLegendMinimumGap + width <= plot.width)
        drawLegend(canvas, legend, plot.maxX() - width, plot.y - kTitleHeight + 3);
    canvas.save();
    canvas.clip(Path::rect(plot));
    for (const auto& drain : device.drains) {
        const double x0 = frame.xOf(drain.start);
        canvas.fillRect({x0, plot.y, std::max(1.0, frame.xOf(drain.end) - x0), plot.height}, kDrainShade);
    }
    canvas.restore();
    drawAxes(canvas, frame, device);
    canvas.save();
    canvas.clip(Path::rect(plot));
    dashedLine(canvas, plot.x, plot.maxX(), frame.yOfWatts(device.thresholdWatts), kThresholdColor);
    drawRuns(canvas, frame, device.watts, true, &HistoryChartFrame::yOfWatts, kWattsLineColor);
    drawRuns(canvas, frame, device.battery, false, &HistoryChartFrame::yOfRatio, kBatteryLineColor);
    for (const auto change : device.connectionChanges) {
        const double x = frame.xOf(change);
        strokeLine(canvas, {x, plot.y}, {x, plot.maxY()}, Color::role(ColorRole::secondaryLabel), 1);
        canvas.fillPolygon({{x - 4, plot.y}, {x + 4, plot.y}, {x, plot.y + 6}}, Color::role(ColorRole::label));
    }
    canvas.restore();
}

}  // namespace

double HistoryChartFrame::xOf(platform::Date time) const {
    const double span = platform::secondsSince1970(to) - platform::secondsSince1970(from);
    if (span <= 0) return plot.x;
    return plot.x + plot.width * (platform::secondsSince1970(time) - platform::secondsSince1970(from)) / span;
}

double HistoryChartFrame::yOfWatts(double watts) const { return plot.maxY() - plot.height * watts / wattsScale; }

double HistoryChartFrame::yOfRatio(double ratio) const { return plot.maxY() - plot.height * ratio; }

platform::Size historyChartSize(std::size_t deviceCount, double width) {
    if (deviceCount == 0) return {width, kEmptyHeight};
    return {width, kTopMargin + kBandHeight * static_cast<double>(deviceCount)};
}

HistoryChartFrame historyChartFrame(std::size_t index, const ChartDevice& device, double width, platform::Date from,
                                    platform::Date to) {
    const double top = kTopMargin + kBandHeight * static_cast<double>(index) + kTitleHeight;
    return {{kLeftMargin, top, std::max(1.0, width - kLeftMargin - kRightMargin), kPlotHeight},
            from,
            to,
            device.wattsScale};
}

void drawHistoryChart(platform::Canvas& canvas, platform::Size size, const std::vector<ChartDevice>& devices,
                      platform::Date from, platform::Date to) {
    canvas.fillRect({0, 0, size.width, size.height}, Color::role(ColorRole::windowBackground));
    if (devices.empty()) {
        canvas.drawText(platform::tr("暂无历史记录"), {0, size.height / 2 - 8, size.width, 16},
                        {kTitleFont, Color::role(ColorRole::secondaryLabel), platform::TextAlignment::center});
        return;
    }
    for (std::size_t i = 0; i < devices.size(); ++i)
        drawBand(canvas, historyChartFrame(i, devices[i], size.width, from, to), devices[i]);
}

}  // namespace ampwell
