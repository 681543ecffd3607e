#include "app/assessment/BatteryTrendMonitor.hpp"

#include "app/assessment/ReadingAge.hpp"
#include "platform/base/Translation.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

namespace ampwell {
namespace {

double secondsBetween(platform::Date earlier, platform::Date later) { return (later - earlier).count(); }

// "约 5 分钟电量-2 个百分点", or the steady text when nothing changed.
std::string trendText(const TrendSample& first, const TrendSample& latest) {
    const std::int64_t delta = std::int64_t{latest.percent} - first.percent;
    if (delta == 0) return platform::tr(BatteryTrendMonitor::kSteadyMessage);
    // Whole minutes, never below 1; the series spans at most an hour, so the value is small.
    const double minutes = std::max(1.0, std::trunc(secondsBetween(first.time, latest.time) / 60.0));
    // The sentence is counted by the points lost or gained.
    return platform::trPluralFormat("约 {:.0f} 分钟电量{:+} 个百分点", "约 {:.0f} 分钟电量{:+} 个百分点",
                                    static_cast<unsigned long>(delta < 0 ? -delta : delta), minutes, delta);
}

// The connection, ":" and the whole seconds of `now` since 1970, truncated toward zero.
std::string incidentIdentifier(const std::string& connection, platform::Date now) {
    // "+ 0.0" turns the −0 of a time just before 1970 into 0.
    const double seconds = std::trunc(platform::secondsSince1970(now)) + 0.0;
    return fmt::format("{}:{:.0f}", connection, seconds);
}

}  // namespace

void BatteryTrendMonitor::restart() {
    samples_.clear();
    incident_.reset();
}

TrendStatus BatteryTrendMonitor::update(const std::optional<std::string>& connection,
                                        const std::optional<DeviceBattery>& battery) {
    return update(connection, battery, platform::SystemClock().now());
}

TrendStatus BatteryTrendMonitor::update(const std::optional<std::string>& connection,
                                        const std::optional<DeviceBattery>& battery, platform::Date now) {
    if (connection != connection_) {
        connection_ = connection;
        restart();
    }
    if (battery && battery->externalConnected == false) restart();
    if (!connection || !battery || !battery->percent || battery->externalConnected != true ||
        !isAcceptableReadingAge(battery->sampledAt, now))
        return {false, platform::tr(kUnavailableMessage), std::nullopt};

    const TrendSample latest{battery->sampledAt, *battery->percent};
    if (!samples_.empty()) {
        const TrendSample& last = samples_.back();
        if (secondsBetween(last.time, latest.time) > kRestartGap)
            restart();
        else if (latest.time > last.time && last.percent < latest.percent)
            restart();  // any rise starts a new series
    }
    // The same sample delivered twice is recorded once.
    if (samples_.empty() || latest.time > samples_.back().time) samples_.push_back(latest);
    // Times only grow along the series, so the samples out of the window are a prefix.
    while (!samples_.empty() && secondsBetween(samples_.front().time, latest.time) > kWindow) samples_.pop_front();
    if (samples_.empty()) return {false, platform::tr(kRecordingMessage), std::nullopt};

    const std::string text = trendText(samples_.front(), latest);
    if (!isFalling(*battery, latest)) return {false, text, incident_};
    if (!incident_) incident_ = incidentIdentifier(*connection_, now);
    return {true, platform::tr(kFallingPrefix) + text, incident_};
}

bool BatteryTrendMonitor::isFalling(const DeviceBattery& battery, const TrendSample& latest) const {
    if (battery.isCharging != true && latest.percent >= kRestingChargePercent) return false;
    if (samples_.size() < kSamplesForVerdict) return false;
    for (std::size_t i = samples_.size() - kSamplesForVerdict; i + 1 < samples_.size(); ++i)
        if (samples_[i].percent < samples_[i + 1].percent) return false;
    for (const auto& sample : samples_) {
        if (secondsBetween(sample.time, latest.time) < kEvidenceMinimumAge) break;  // the rest are younger
        if (std::int64_t{sample.percent} - latest.percent >= kEvidenceMinimumDrop) return true;
    }
    return false;
}

}  // namespace ampwell
