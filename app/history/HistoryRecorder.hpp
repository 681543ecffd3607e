#pragma once

#include "app/history/HistoryChanges.hpp"
#include "app/history/HistoryWriter.hpp"
#include "app/metrics/DeviceFleet.hpp"
#include "app/metrics/FleetState.hpp"
#include "app/model/Snapshot.hpp"

namespace ampwell {

// What a running program keeps in the history: every refresh's state goes through the change
// filter, and what it lets through to the writer. The metrics server hands it the fleet it keeps
// anyway; the menu-bar application hands it its snapshots, which a fleet of the recorder's own
// turns into the same per-device state. Main thread.
class HistoryRecorder {
public:
    HistoryRecorder(HistoryStoreOptions options, const platform::Clock& clock, platform::SystemLog& log);

    void record(const FleetState& state);
    // `snapshot` with the batteries of the last read attached and the device accounts not yet
    // applied, judged against `thresholdWatts`.
    void record(const Snapshot& snapshot, double thresholdWatts);
    // Returns once every row recorded so far is written.
    void drain() { writer_.drain(); }

    const std::string& path() const { return writer_.path(); }

private:
    const platform::Clock& clock_;
    DeviceFleet fleet_;
    HistoryChanges changes_;
    HistoryWriter writer_;
};

}  // namespace ampwell
