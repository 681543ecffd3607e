#pragma once

#include "app/assessment/TrendStatus.hpp"
#include "app/model/DeviceBattery.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/Translation.hpp"

#include <deque>
#include <optional>
#include <string>

namespace ampwell {

// One point of a charge series: when the battery was sampled and its percentage then.
struct TrendSample {
    platform::Date time;
    int percent = 0;
};

// Detects an iPad that keeps losing charge although it reports external power (the port delivers
// less than the tablet draws). Keeps the last hour of battery percentages of the connection being
// watched and gives every continuous falling episode one incident identifier, so that whoever
// alerts on it alerts once per episode.
//
// One caller at a time; no locking. Nothing is persisted.
class BatteryTrendMonitor {
public:
    static constexpr double kRestartGap = 90.0;           // seconds between samples that restart the series
    static constexpr double kWindow = 3600.0;             // seconds of history kept
    static constexpr double kEvidenceMinimumAge = 300.0;  // seconds a drop must span to count
    static constexpr int kEvidenceMinimumDrop = 2;        // percentage points
    static constexpr std::size_t kSamplesForVerdict = 3;
    // A non-charging iPad at or above this charge is resting at its charge cap, not draining.
    static constexpr int kRestingChargePercent = 75;

    static constexpr const char* kUnavailableMessage = platform::trMarked("电量趋势暂不可用");
    static constexpr const char* kRecordingMessage = platform::trMarked("正在记录电量趋势");
    static constexpr const char* kSteadyMessage = platform::trMarked("电量暂时稳定");
    static constexpr const char* kFallingPrefix = platform::trMarked("接电仍持续掉电 · ");

    BatteryTrendMonitor() = default;
    BatteryTrendMonitor(const BatteryTrendMonitor&) = delete;
    BatteryTrendMonitor& operator=(const BatteryTrendMonitor&) = delete;

    // `connection` identifies the watched iPad connection (absent when there is no single one);
    // `battery` is the record the charge monitor matched to it.
    TrendStatus update(const std::optional<std::string>& connection, const std::optional<DeviceBattery>& battery,
                       platform::Date now);
    // The same, at the system clock's current time.
    TrendStatus update(const std::optional<std::string>& connection, const std::optional<DeviceBattery>& battery);

    const std::optional<std::string>& connection() const { return connection_; }
    // Oldest first; each time strictly later than the one before.
    const std::deque<TrendSample>& samples() const { return samples_; }
    const std::optional<std::string>& incident() const { return incident_; }

private:
    void restart();
    bool isFalling(const DeviceBattery& battery, const TrendSample& latest) const;

    std::optional<std::string> connection_;
    std::deque<TrendSample> samples_;
    std::optional<std::string> incident_;
};

}  // namespace ampwell
