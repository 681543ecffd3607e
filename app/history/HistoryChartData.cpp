#include "app/history/HistoryChartData.hpp"

#include "app/history/HistoryChanges.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace ampwell {
namespace {

// Rows further apart than two heartbeats (and a little slack for a late timer) are a gap: the
// program was not running, or the device not followed.
const platform::Seconds kGap = HistoryChanges::kHeartbeat * 2.1;

struct Tracked {
    ChartDevice chart;
    std::optional<platform::Date> lastRow;
    bool present = false;
    std::string connection;
    std::optional<platform::Date> drainStart;
    bool batteryOpen = false;
    bool wattsOpen = false;
};

void closeRuns(Tracked& device, platform::Date end) {
    if (device.batteryOpen) device.chart.battery.back().end = end;
    if (device.wattsOpen) device.chart.watts.back().end = end;
    device.batteryOpen = device.wattsOpen = false;
    if (device.drainStart) device.chart.drains.push_back({*device.drainStart, end});
    device.drainStart.reset();
}

// A value equal to the last adds no point: the run just holds longer. For the battery that keeps
// the line straight between two readings instead of stepping at every heartbeat.
void addPoint(std::vector<ChartRun>& runs, bool& open, platform::Date time, double value) {
    if (!open) runs.push_back({{}, time});
    open = true;
    if (runs.back().points.empty() || runs.back().points.back().value != value)
        runs.back().points.push_back({time, value});
    runs.back().end = time;
}

bool onPort(const PortFigures& figures, const std::string& connection) {
    std::size_t start = 0;
    while (start <= figures.connections.size()) {
        const std::size_t comma = std::min(figures.connections.find(',', start), figures.connections.size());
        if (figures.connections.compare(start, comma - start, connection) == 0) return true;
        start = comma + 1;
    }
    return false;
}

void applyDeviceRow(Tracked& device, const DeviceRow& row, platform::Date from) {
    if (!row.present) {
        if (device.present) device.chart.connectionChanges.push_back(row.time);
        closeRuns(device, row.time);
        device.present = false;
        device.lastRow = row.time;
        return;
    }
    if (device.lastRow && device.present && row.time - *device.lastRow > kGap)
        closeRuns(device, *device.lastRow + HistoryChanges::kHeartbeat);
    // A first row well inside the window is a plug-in: had the device been there before, a
    // heartbeat would have come earlier.
    const bool appeared = device.lastRow ? (!device.present || row.device.connection != device.connection)
                                         : row.time - from > HistoryChanges::kHeartbeat;
    if (appeared) device.chart.connectionChanges.push_back(row.time);
    device.present = true;
    device.lastRow = row.time;
    device.connection = row.device.connection;
    device.chart.name = row.device.name;
    device.chart.port = row.device.port;
    device.chart.thresholdWatts = row.thresholdWatts;
    if (row.device.batteryRatio)
        addPoint(device.chart.battery, device.batteryOpen, row.time, std::clamp(*row.device.batteryRatio, 0.0, 1.0));
    if (row.device.inputWatts) addPoint(device.chart.watts, device.wattsOpen, row.time, *row.device.inputWatts);
    if (row.device.draining && !device.drainStart) device.drainStart = row.time;
    if (!row.device.draining && device.drainStart) {
        device.chart.drains.push_back({*device.drainStart, row.time});
        device.drainStart.reset();
    }
}

double roundedScale(const ChartDevice& device) {
    double top = device.thresholdWatts * 1.25;
    for (const auto& run : device.watts)
        for (const auto& point : run.points) top = std::max(top, point.value * 1.1);
    return std::max(5.0, std::ceil(top / 5.0) * 5.0);
}

}  // namespace

std::vector<ChartDevice> chartDevices(const HistoryRows& rows, platform::Date from, platform::Date to) {
    std::vector<Tracked> devices;
    std::map<std::string, std::size_t> index;  // serial (or name, without one) → devices
    std::size_t p = 0;
    std::size_t d = 0;
    while (p < rows.ports.size() || d < rows.devices.size()) {
        // At the same moment the device goes first, so that its port's figures find it there.
        const bool portFirst =
            d == rows.devices.size() || (p < rows.ports.size() && rows.ports[p].time < rows.devices[d].time);
        if (portFirst) {
            const PortRow& row = rows.ports[p++];
            if (!row.present || !row.figures.watts) continue;
            for (auto& device : devices) {
                if (!device.present || device.chart.port != row.figures.label ||
                    !onPort(row.figures, device.connection))
                    continue;
                addPoint(device.chart.watts, device.wattsOpen, row.time, *row.figures.watts);
            }
            continue;
        }
        const DeviceRow& row = rows.devices[d++];
        const std::string key = row.device.serial.empty() ? row.device.name : row.device.serial;
        auto [found, added] = index.try_emplace(key, devices.size());
        if (added) {
            if (!row.present) {
                index.erase(found);
                continue;
            }
            devices.emplace_back();
            devices.back().chart.serial = row.device.serial;
        }
        applyDeviceRow(devices[found->second], row, from);
    }
    std::vector<ChartDevice> charts;
    for (auto& device : devices) {
        if (device.present && device.lastRow)
            closeRuns(device, std::min(to, *device.lastRow + HistoryChanges::kHeartbeat));
        device.chart.wattsScale = roundedScale(device.chart);
        charts.push_back(std::move(device.chart));
    }
    return charts;
}

}  // namespace ampwell
