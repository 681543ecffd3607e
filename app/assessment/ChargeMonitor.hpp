#pragma once

#include "app/assessment/ChargeStatus.hpp"
#include "app/model/DeviceBattery.hpp"
#include "app/model/Snapshot.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/Defaults.hpp"
#include "platform/base/Translation.hpp"

#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// Judges, once per refresh, how well the single attached iPad is supplied.
//
// It also remembers the charge-cap pause: an iPad that stops charging at its 80 % limit drifts down
// slowly while on external power, and that must not read as "too little power". Once a pause at
// 80 % or more has been seen on a connection, the pause is reported as normal down to 76 %; below
// that, or when charging resumes, power is lost or another connection appears, the ordinary power
// judgement applies again. A persisting monitor keeps that memory in the user defaults so that it
// survives a restart of the program while the same connection stays plugged in.
//
// One caller at a time; no locking. Defaults writes happen synchronously inside update().
class ChargeMonitor {
public:
    static constexpr const char* kHoldDefaultsKey = "limitHoldConnection";
    static constexpr int kChargeCapPercent = 80;  // a pause from here on arms the hold
    static constexpr int kHoldFloorPercent = 76;  // the lowest charge the hold still covers

    static constexpr const char* kNoIPadMessage = platform::trMarked("iPad 未连接");
    static constexpr const char* kAmbiguousMessage = platform::trMarked("无法单独判断 iPad 状态");
    static constexpr const char* kBatteryUnavailableMessage = platform::trMarked("iPad 电量或充电状态暂不可用");

    // Keeps the hold in memory only and never touches the user defaults.
    ChargeMonitor();
    // Restores the hold stored under kHoldDefaultsKey and mirrors every change of it there.
    explicit ChargeMonitor(platform::Defaults& defaults);

    ChargeMonitor(const ChargeMonitor&) = delete;
    ChargeMonitor& operator=(const ChargeMonitor&) = delete;

    // `threshold` in watts; the caller has already replaced an unusable user setting by 10.
    ChargeStatus update(const Snapshot& snapshot, const std::vector<DeviceBattery>& batteries, double threshold,
                        platform::Date now);

    // The connection key (serial ":" connection ID) of the iPad seen paused at its charge cap.
    const std::optional<std::string>& heldConnection() const { return heldConnection_; }
    bool persists() const { return defaults_ != nullptr; }

private:
    void hold(const std::optional<std::string>& connection);
    void clearHold() { hold(std::nullopt); }

    std::optional<std::string> heldConnection_;
    platform::Defaults* defaults_ = nullptr;  // null: not persisting
};

// Said after the verdict when the iPad's port has only the charger's offer to judge by.
inline constexpr const char* kChargerOfferBasis = platform::trMarked("（按充电器标称）");

// The session part of a connection ID: its last non-empty ":"-separated piece, which is what a
// battery record stamps as the USB session it was verified against. Absent when every piece is empty.
std::optional<std::string> connectionSessionPart(const std::string& connectionID);

}  // namespace ampwell
