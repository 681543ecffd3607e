// The chart probed at pixels whose colour follows from the layout alone.
#include "app/history/HistoryChart.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace ampwell {
namespace {

const platform::Date kFrom = platform::dateFromSecondsSince1970(1800000000);
const platform::Date kTo = kFrom + platform::Seconds(7200);

platform::Date at(double seconds) { return kFrom + platform::Seconds(seconds); }

// An iPad on a weak port: 5 W against a 7 W threshold, draining from the first to the second hour.
ChartDevice weakPort() {
    ChartDevice device;
    device.serial = "S";
    device.name = "iPad";
    device.port = "1";
    device.thresholdWatts = 7;
    device.wattsScale = 20;
    device.watts.push_back({{{at(0), 5.0}}, kTo});
    device.battery.push_back({{{at(0), 0.9}, {at(7200), 0.7}}, kTo});
    device.drains.push_back({at(3600), at(5400)});
    return device;
}

struct Probe {
    std::unique_ptr<platform::BitmapCanvas> bitmap;
    HistoryChartFrame frame;

    platform::RGBA at(double x, double y) {
        const platform::Pixel pixel = bitmap->pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
        return {pixel.red / 255.0, pixel.green / 255.0, pixel.blue / 255.0, pixel.alpha / 255.0};
    }
};

Probe draw(platform::Appearance appearance) {
    const std::vector<ChartDevice> devices{weakPort()};
    const platform::Size size = historyChartSize(devices.size(), 600);
    Probe probe{platform::makeBitmapCanvas(size, 1, appearance), historyChartFrame(0, devices[0], 600, kFrom, kTo)};
    drawHistoryChart(*probe.bitmap, size, devices, kFrom, kTo);
    return probe;
}

bool near(const platform::RGBA& a, const platform::RGBA& b, double tolerance = 0.06) {
    return std::fabs(a.red - b.red) < tolerance && std::fabs(a.green - b.green) < tolerance &&
           std::fabs(a.blue - b.blue) < tolerance;
}

platform::RGBA over(const platform::RGBA& top, const platform::RGBA& bottom) {
    const double a = top.alpha;
    return {top.red * a + bottom.red * (1 - a), top.green * a + bottom.green * (1 - a),
            top.blue * a + bottom.blue * (1 - a), 1};
}

TEST(HistoryChart, DrawsTheThresholdDashedAtItsWattsInBothAppearances) {
    for (const auto appearance : {platform::Appearance::light, platform::Appearance::dark}) {
        Probe probe = draw(appearance);
        ASSERT_TRUE(probe.bitmap);
        const double y = probe.frame.yOfWatts(7);
        EXPECT_DOUBLE_EQ(y, probe.frame.plot.maxY() - probe.frame.plot.height * 7 / 20);
        const platform::RGBA threshold = kThresholdColor.resolve(appearance);
        // A dash starts every 7 points from the plot's left edge and is 4 points long.
        EXPECT_TRUE(near(probe.at(probe.frame.plot.x + 7 * 3 + 2, y), threshold))
            << platform::appearanceName(appearance);
        EXPECT_FALSE(near(probe.at(probe.frame.plot.x + 7 * 3 + 5.5, y), threshold));
    }
}

TEST(HistoryChart, ShadesADrainIncidentOverItsSpanOnly) {
    Probe probe = draw(platform::Appearance::light);
    const platform::RGBA background =
        platform::resolveColorRole(platform::ColorRole::windowBackground, platform::Appearance::light);
    // Between the battery line (near the top) and the watts step (a quarter up), off the grid.
    const double y = probe.frame.yOfWatts(8.3);
    const double inside = probe.frame.xOf(at(4000));
    const double outside = probe.frame.xOf(at(6100));
    EXPECT_TRUE(near(probe.at(inside, y), over(kDrainShade.resolve(platform::Appearance::light), background), 0.03));
    EXPECT_TRUE(near(probe.at(outside, y), background, 0.03));
}

}  // namespace
}  // namespace ampwell
