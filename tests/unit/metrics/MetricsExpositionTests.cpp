#include "app/metrics/MetricsExposition.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace ampwell {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

FleetState sampleState() {
    FleetState state;
    state.thresholdWatts = 10;
    PortFigures silent;
    silent.label = "2";
    silent.watts = 2.38;
    silent.source = FigureSource::deviceInput;
    PortFigures measured;
    measured.label = "1";
    measured.volts = 5;
    measured.amps = 3;
    measured.watts = 15;
    measured.limitWatts = 15;
    state.ports = {measured, silent};
    FollowedDevice device;
    device.serial = "00008101-000A";
    device.name = "Ann's \"big\" iPad\\";
    device.port = "2";
    device.batteryRatio = 0.47;
    device.charging = true;
    device.externalPower = true;
    device.inputWatts = 2.38;
    device.verdict = IndicatorState::low;
    device.draining = true;
    device.drainDepthRatio = 0.03;
    device.lastRead = platform::dateFromSecondsSince1970(1800000360);
    state.devices = {device};
    state.portsReadAt = platform::dateFromSecondsSince1970(1800000361);
    state.errors(ReadErrorKind::batteryTimeout) = 2;
    return state;
}

std::string write(const FleetState& state, ExpositionFormat format) {
    std::string out;
    writeExposition(state, format, "1.2.3", out);
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

constexpr const char* kLabels = R"(serial="00008101-000A",name="Ann's \"big\" iPad\\",port="2")";

TEST(MetricsExposition, WritesEachFigureInBaseUnitsWithWhoseFigureItIs) {
    const std::string text = write(sampleState(), ExpositionFormat::prometheusText);
    EXPECT_THAT(text, HasSubstr("ampwell_port_output_watts{port=\"1\",source=\"computer\"} 15\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_port_output_amperes{port=\"1\",source=\"computer\"} 3\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_port_output_watts{port=\"2\",source=\"device_input\"} 2.38\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_port_limit_watts{port=\"1\"} 15\n"));
    EXPECT_THAT(text, HasSubstr(std::string("ampwell_device_battery_ratio{") + kLabels + "} 0.47\n"));
    EXPECT_THAT(text, HasSubstr(std::string("ampwell_device_drain_depth_ratio{") + kLabels + "} 0.03\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_device_last_read_timestamp_seconds{"));
    EXPECT_THAT(text, HasSubstr("} 1800000360\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_ports_last_read_timestamp_seconds 1800000361\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_build_info{version=\"1.2.3\"} 1\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_read_errors_total{kind=\"battery_timeout\"} 2\n"));
    EXPECT_THAT(text, HasSubstr("ampwell_read_errors_total{kind=\"ports\"} 0\n"));
}

TEST(MetricsExposition, AFigureNobodyReportedHasNoSeriesRatherThanAZero) {
    const std::string text = write(sampleState(), ExpositionFormat::prometheusText);
    EXPECT_THAT(text, Not(HasSubstr("ampwell_port_output_volts{port=\"2\"")));
    EXPECT_THAT(text, Not(HasSubstr("ampwell_port_limit_watts{port=\"2\"")));
    EXPECT_THAT(text, Not(HasSubstr("ampwell_device_charger_offer_watts{")));
    FleetState unread = sampleState();
    unread.portsReadAt.reset();
    EXPECT_THAT(write(unread, ExpositionFormat::prometheusText),
                Not(HasSubstr("ampwell_ports_last_read_timestamp_seconds ")));
}

TEST(MetricsExposition, TheVerdictIsAStateSetWithExactlyOneStateOn) {
    const std::string text = write(sampleState(), ExpositionFormat::prometheusText);
    const std::string prefix = std::string("ampwell_device_supply{") + kLabels + ",ampwell_device_supply=";
    EXPECT_THAT(text, HasSubstr(prefix + "\"normal\"} 0\n"));
    EXPECT_THAT(text, HasSubstr(prefix + "\"low\"} 1\n"));
    EXPECT_THAT(text, HasSubstr(prefix + "\"unavailable\"} 0\n"));
    EXPECT_THAT(text, HasSubstr("# TYPE ampwell_device_supply gauge\n"));
    EXPECT_THAT(write(sampleState(), ExpositionFormat::openMetrics),
                HasSubstr("# TYPE ampwell_device_supply stateset\n"));
}

TEST(MetricsExposition, EveryLineIsACommentOrOneSampleOfAFamilyDeclaredBeforeIt) {
    for (const auto format : {ExpositionFormat::prometheusText, ExpositionFormat::openMetrics}) {
        const auto lines = linesOf(write(sampleState(), format));
        std::vector<std::string> declared;
        for (const auto& line : lines) {
            ASSERT_FALSE(line.empty());
            if (line.starts_with("# TYPE ")) {
                declared.push_back(line.substr(7, line.find(' ', 7) - 7));
                continue;
            }
            if (line.starts_with("#")) continue;
            const std::string name = line.substr(0, line.find_first_of("{ "));
            const bool ok = std::any_of(declared.begin(), declared.end(), [&](const std::string& family) {
                return name == family || name == family + "_total" || name == family + "_info";
            });
            EXPECT_TRUE(ok) << line;
        }
    }
}

TEST(MetricsExposition, OpenMetricsNamesCountersAndUnitsItsOwnWayAndEnds) {
    const std::string text = write(sampleState(), ExpositionFormat::openMetrics);
    EXPECT_THAT(text, HasSubstr("# TYPE ampwell_read_errors counter\n"));
    EXPECT_THAT(text, HasSubstr("# TYPE ampwell_build info\n"));
    EXPECT_THAT(text, HasSubstr("# UNIT ampwell_port_output_watts watts\n"));
    EXPECT_TRUE(text.ends_with("# EOF\n"));
    const std::string plain = write(sampleState(), ExpositionFormat::prometheusText);
    EXPECT_THAT(plain, HasSubstr("# TYPE ampwell_read_errors_total counter\n"));
    EXPECT_THAT(plain, Not(HasSubstr("# EOF")));
    EXPECT_THAT(plain, Not(HasSubstr("# UNIT")));
}

TEST(MetricsExposition, OpenMetricsOnlyForAScraperThatAsksForIt) {
    EXPECT_EQ(negotiateExposition(""), ExpositionFormat::prometheusText);
    EXPECT_EQ(negotiateExposition("text/plain;version=0.0.4;q=0.5,*/*;q=0.1"), ExpositionFormat::prometheusText);
    EXPECT_EQ(negotiateExposition("application/openmetrics-text;version=1.0.0;q=0.9,text/plain;q=0.5"),
              ExpositionFormat::openMetrics);
    EXPECT_THAT(expositionContentType(ExpositionFormat::openMetrics), HasSubstr("application/openmetrics-text"));
}

TEST(MetricsExposition, AReusedBufferStopsGrowingAfterTheFirstScrape) {
    const FleetState state = sampleState();
    std::string out;
    writeExposition(state, ExpositionFormat::prometheusText, "1.2.3", out);
    const std::string first = out;
    const auto capacity = out.capacity();
    for (int i = 0; i < 5; ++i) writeExposition(state, ExpositionFormat::prometheusText, "1.2.3", out);
    EXPECT_EQ(out, first);
    EXPECT_EQ(out.capacity(), capacity);
}

}  // namespace
}  // namespace ampwell
