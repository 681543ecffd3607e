#pragma once

#include "app/history/HistoryRows.hpp"
#include "platform/base/Clock.hpp"

#include <string>
#include <vector>

namespace ampwell {

struct ChartPoint {
    platform::Date time;
    double value = 0;
};

// A stretch of readings without a gap: its points, and when the last of them stops holding (the
// device went, or no row came within a heartbeat).
struct ChartRun {
    std::vector<ChartPoint> points;
    platform::Date end;
};

struct ChartIncident {
    platform::Date start;
    platform::Date end;
};

// One device's history as the chart draws it. Rows only mark changes, so a value holds until the
// next row: the watts are drawn as steps, the battery as a line through its readings.
struct ChartDevice {
    std::string serial;
    std::string name;
    std::string port;                               // where it was last seen
    std::vector<ChartRun> battery;                  // ratio 0 … 1
    std::vector<ChartRun> watts;                    // what it received: its port's output, or its own measurement
    std::vector<ChartIncident> drains;              // while it was losing charge on external power
    std::vector<platform::Date> connectionChanges;  // plugged in, unplugged, or a new USB session
    double thresholdWatts = 10.0;
    double wattsScale = 5.0;  // the top of the watts axis: a round number above everything drawn
};

// The devices of `rows` (read from a heartbeat before `from`, so that the state at `from` is
// known) between `from` and `to`, in the order they first appear.
std::vector<ChartDevice> chartDevices(const HistoryRows& rows, platform::Date from, platform::Date to);

}  // namespace ampwell
