#include "app/history/HistoryRecorder.hpp"

namespace ampwell {

HistoryRecorder::HistoryRecorder(HistoryStoreOptions options, const platform::Clock& clock, platform::SystemLog& log)
    : clock_(clock), writer_(std::move(options), log) {}

void HistoryRecorder::record(const FleetState& state) {
    const platform::Date now = clock_.now();
    writer_.submit(changes_.observe(state, now), now);
}

void HistoryRecorder::record(const Snapshot& snapshot, double thresholdWatts) {
    fleet_.update(snapshot, thresholdWatts, clock_.now());
    record(fleet_.state());
}

}  // namespace ampwell
