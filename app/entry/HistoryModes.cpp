#include "app/entry/Modes.hpp"
#include "app/history/HistoryChanges.hpp"
#include "app/history/HistoryChart.hpp"
#include "app/history/HistoryExport.hpp"
#include "app/history/HistoryRecorder.hpp"
#include "app/history/HistoryStore.hpp"
#include "app/metrics/FleetSampler.hpp"
#include "app/model/BootIdentity.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

namespace ampwell {
namespace {

constexpr platform::Seconds kDefaultSince{86400.0};
constexpr double kChartWidth = 720;
constexpr double kChartScale = 2;

// The value after `option` in the arguments, when there is one.
std::optional<std::string> optionValue(const std::vector<std::string>& arguments, const std::string& option) {
    const auto found = std::find(arguments.begin(), arguments.end(), option);
    if (found == arguments.end() || std::next(found) == arguments.end()) return std::nullopt;
    return *std::next(found);
}

struct Window {
    platform::Date from;
    platform::Date to;
};

// On a machine whose time is played, plays its day into a fresh history file, following every
// device as the metrics server does, and returns that day (or its last `since`); elsewhere the
// history is the machine's own and the window is the last `since` up to now. The file is made
// afresh because a second play of the same day would otherwise write each of its rows twice.
Window playHistory(platform::Platform& platform, std::optional<platform::Seconds> since) {
    const auto span = platform.playedHistorySpan();
    const platform::Date start = platform.clock().now();
    if (!span) return {start - since.value_or(kDefaultSince), start};
    const std::string path = platform.historyPath();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    HistoryStoreOptions options{path};
    options.leased = false;
    HistoryRecorder recorder(std::move(options), platform.clock(), platform.systemLog());
    const BootIdentity bootIdentity([&platform] { return platform.bootTimeSeconds(); });
    FleetSampler sampler(platform.registry(), platform.mobileDevices(), platform.defaults(), platform.clock(),
                         platform.mainQueue(), bootIdentity,
                         [&recorder](const FleetState& state) { recorder.record(state); });
    const platform::Date end = platform.clock().now() + *span;
    sampler.start();
    platform.mainQueue().runUntil(end);
    sampler.stop();
    recorder.drain();
    return {since ? end - *since : start, end};
}

// An empty table or chart from a file that could not be read would pass for a history with
// nothing in it: says so and fails instead.
bool readable(ModeContext& context, const HistoryStore& store, const char* option) {
    if (!store.readFailure()) return true;
    context.err() << "ampwell: " << option << ": the history in " << store.path()
                  << " cannot be read: " << *store.readFailure() << '\n';
    return false;
}

}  // namespace

int runHistory(ModeContext& context) {
    const auto& arguments = context.arguments();
    std::optional<platform::Seconds> since;
    if (const auto text = optionValue(arguments, "--since")) {
        const auto parsed = parseHistoryDuration(*text);
        if (!parsed) {
            context.err() << "ampwell: --since: expected a span such as 30m, 24h or 7d, found \"" << *text << "\"\n";
            return 1;
        }
        since = *parsed;
    }
    HistoryFormat format = HistoryFormat::csv;
    if (const auto text = optionValue(arguments, "--format")) {
        const auto parsed = historyFormatFromText(*text);
        if (!parsed) {
            context.err() << "ampwell: --format: expected csv or json, found \"" << *text << "\"\n";
            return 1;
        }
        format = *parsed;
    }
    auto& platform = context.platform();
    const Window window = playHistory(platform, since);
    HistoryStore store(HistoryStoreOptions{platform.historyPath()}, platform.systemLog());
    const HistoryRows rows = store.read(window.from, window.to);
    if (!readable(context, store, "--history")) return 1;
    writeHistory(context.out(), rows, format, window.from, window.to);
    return 0;
}

// The last day's chart (the played day, on a simulation), light beside dark. A history that
// cannot be read fails with a message; an image that cannot be made or encoded writes nothing and
// still succeeds, as the other previews do; a file that cannot be written throws.
int runPreviewHistory(ModeContext& context, const std::string& path) {
    auto& platform = context.platform();
    const Window window = playHistory(platform, std::nullopt);
    const platform::Date from = window.from;
    const platform::Date to = window.to;
    HistoryStore store(HistoryStoreOptions{platform.historyPath()}, platform.systemLog());
    const HistoryRows rows = store.read(from - HistoryChanges::kHeartbeat, to);
    if (!readable(context, store, "--preview-history")) return 1;
    const auto devices = chartDevices(rows, from, to);
    const platform::Size chart = historyChartSize(devices.size(), kChartWidth);
    auto bitmap = platform::makeBitmapCanvas({chart.width * 2, chart.height}, kChartScale, platform::Appearance::light);
    if (!bitmap) return 0;
    drawHistoryChart(*bitmap, chart, devices, from, to);
    bitmap->setAppearance(platform::Appearance::dark);
    bitmap->translate(chart.width, 0);
    drawHistoryChart(*bitmap, chart, devices, from, to);
    const auto png = bitmap->encodePng();
    if (!png) return 0;
    platform::writeFileReplacing(path, *png);
    return 0;
}

}  // namespace ampwell
