// What the history costs: a day of 10 devices filtered and written as the running program writes
// it, --history --since 24h over that day, and drawing its chart. The counters report the rows
// written and the file's size scaled to one device over a month.

#include "app/history/HistoryChanges.hpp"
#include "app/history/HistoryChart.hpp"
#include "app/history/HistoryChartData.hpp"
#include "app/history/HistoryExport.hpp"
#include "app/history/HistoryStore.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"
#include "tests/unit/history/HistoryTestFiles.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <sstream>

namespace ampwell {
namespace {

constexpr int kDevices = 10;
constexpr double kDay = 86400;
// The menu bar's slowest cadence with devices attached: what a day of refreshes looks like.
constexpr double kRefresh = 10;
// How much the writer gathers into one transaction when changes come steadily.
constexpr double kFlush = 300;
const platform::Date kStart = platform::dateFromSecondsSince1970(1800000000);

// The desk at `seconds` into the day: every device charging and discharging in a slow saw tooth
// (a percent every few minutes), its port's watts following with a little jitter, two of them on
// weak ports draining for an hour, and each replugged (a new session) once in the afternoon.
FleetState deskAt(double seconds) {
    FleetState state;
    for (int i = 0; i < kDevices; ++i) {
        const bool replugged = seconds > 50000 + 600 * i;
        const std::string connection = "1799990000:" + std::to_string(1000 + i) + (replugged ? "-2" : "");
        const double phase = std::fmod(seconds / 60 + 37 * i, 400);
        const bool charging = phase < 200;
        PortFigures port;
        port.label = std::to_string(i + 1);
        port.connections = connection;
        port.volts = charging ? 9.0 : 5.0;
        port.watts = (charging ? 18.0 : 2.5) + 0.02 * std::sin(seconds + i);
        port.amps = *port.watts / *port.volts;
        port.limitWatts = 20;
        state.ports.push_back(port);
        FollowedDevice device;
        device.serial = "00008103-00000000000" + std::to_string(10 + i);
        device.name = "iPad";
        device.port = port.label;
        device.connection = connection;
        device.batteryRatio = std::round(charging ? 20 + phase * 0.4 : 100 - (phase - 200) * 0.4) / 100;
        device.charging = charging;
        device.externalPower = true;
        device.verdict = charging ? IndicatorState::normal : IndicatorState::low;
        device.draining = !charging && i < 2 && seconds > 30000 && seconds < 33600;
        state.devices.push_back(device);
    }
    return state;
}

// Every refresh of the day, made before the clock starts: the program has them from its reads.
const std::vector<FleetState>& theDay() {
    static const std::vector<FleetState> day = [] {
        std::vector<FleetState> states;
        for (double t = 0; t <= kDay; t += kRefresh) states.push_back(deskAt(t));
        return states;
    }();
    return day;
}

// Writes the day into `path`; returns the rows written.
std::size_t writeDay(const std::string& path, test::RecordingLog& log) {
    const auto& day = theDay();
    HistoryStore store({path}, log);
    HistoryChanges changes;
    HistoryRows batch;
    std::size_t written = 0;
    double flushed = 0;
    for (std::size_t i = 0; i < day.size(); ++i) {
        const double t = static_cast<double>(i) * kRefresh;
        const platform::Date now = kStart + platform::Seconds(t);
        HistoryRows rows = changes.observe(day[i], now);
        written += rows.size();
        batch.ports.insert(batch.ports.end(), rows.ports.begin(), rows.ports.end());
        batch.devices.insert(batch.devices.end(), rows.devices.begin(), rows.devices.end());
        if (t - flushed >= kFlush && !batch.empty()) {
            store.write(batch, now);
            batch = {};
            flushed = t;
        }
    }
    if (!batch.empty()) store.write(batch, kStart + platform::Seconds(kDay));
    return written;
}

void writeADayOfTenDevices(benchmark::State& state) {
    test::HistoryDirectory directory;
    test::RecordingLog log;
    std::size_t rows = 0;
    std::uintmax_t bytes = 0;
    int run = 0;
    theDay();
    for (auto _ : state) {
        const std::string path = directory.path("history-" + std::to_string(run++) + ".sqlite3");
        rows = writeDay(path, log);
        state.PauseTiming();
        {
            // Folds the write-ahead log into the file, as the last connection closing does.
            HistoryStore closing({path}, log);
            benchmark::DoNotOptimize(closing.usedBytes());
        }
        bytes = std::filesystem::file_size(path);
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["KiB_per_device_month"] = static_cast<double>(bytes) * 30 / kDevices / 1024;
}
BENCHMARK(writeADayOfTenDevices)->Unit(benchmark::kMillisecond)->Iterations(5);

void historySince24hOfTenDevices(benchmark::State& state) {
    test::HistoryDirectory directory;
    test::RecordingLog log;
    const std::string path = directory.path("history.sqlite3");
    writeDay(path, log);
    const platform::Date to = kStart + platform::Seconds(kDay);
    const platform::Date from = to - platform::Seconds(kDay);
    std::size_t bytes = 0;
    for (auto _ : state) {
        // As the mode does it: open the file, read the window, print it.
        HistoryStore store({path}, log);
        std::ostringstream out;
        writeHistory(out, store.read(from, to), HistoryFormat::csv, from, to);
        bytes = out.str().size();
    }
    state.counters["output_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(historySince24hOfTenDevices)->Unit(benchmark::kMillisecond);

void drawTheDayChartOfTenDevices(benchmark::State& state) {
    test::HistoryDirectory directory;
    test::RecordingLog log;
    const std::string path = directory.path("history.sqlite3");
    writeDay(path, log);
    const platform::Date to = kStart + platform::Seconds(kDay);
    const platform::Date from = to - platform::Seconds(kDay);
    HistoryStore store({path}, log);
    const HistoryRows rows = store.read(from - HistoryChanges::kHeartbeat, to);
    for (auto _ : state) {
        const auto devices = chartDevices(rows, from, to);
        const platform::Size size = historyChartSize(devices.size(), 720);
        auto bitmap = platform::makeBitmapCanvas(size, 2, platform::Appearance::light);
        drawHistoryChart(*bitmap, size, devices, from, to);
        benchmark::DoNotOptimize(bitmap->pixel(10, 10));
    }
}
BENCHMARK(drawTheDayChartOfTenDevices)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ampwell

BENCHMARK_MAIN();
