#include "app/history/HistoryRecorder.hpp"

namespace ampwell {

HistoryRecorder::HistoryRecorder(HistoryStoreOptions options, const platform::Clock& clock, platform::SystemLog& log)
    : clock_(clock), writer_(std::move(options), log) {}

void HistoryRecorder::record(const FleetState& state) {
    const platform::Date now = clock_.now();
    // While another program writes, the filter forgets what it let through: whatever it passes
    // after taking over is then the whole picture, not only what changed since.
    if (!writer_.submit(changes_.observe(state, now), now)) changes_ = HistoryChanges();
}

void HistoryRecorder::record(const Snapshot& snapshot, double thresholdWatts) {
    fleet_.update(snapshot, thresholdWatts, clock_.now());
    record(fleet_.state());
}

}  // namespace ampwell
