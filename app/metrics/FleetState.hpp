#pragma once

#include "app/assessment/IndicatorState.hpp"
#include "app/model/SupplyAccount.hpp"
#include "platform/base/Clock.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// The kinds of failed reads the fleet counts. Closed on purpose: each is one label value, so the
// set of series never grows with what happens on the host.
enum class ReadErrorKind : unsigned char {
    ports,           // the port read came back with an error instead of figures
    batteryTimeout,  // a battery read gave nothing in time while mobile devices were attached
    batteryMissing,  // a followed device had no usable record in a battery read that did answer
};
inline constexpr std::array<ReadErrorKind, 3> kAllReadErrorKinds{ReadErrorKind::ports, ReadErrorKind::batteryTimeout,
                                                                 ReadErrorKind::batteryMissing};
// "ports", "battery_timeout", "battery_missing".
const char* readErrorKindText(ReadErrorKind kind);

// One port of the computer as the last read gave it. Absent figures were not reported.
struct PortFigures {
    std::string label;  // the number of a USB-C port, the name of a plain one ("1-3")
    std::string connections;  // the connection IDs of the devices behind it, joined by ","
    std::optional<double> volts;
    std::optional<double> amps;
    std::optional<double> watts;
    std::optional<double> limitWatts;  // negotiated limit
    FigureSource source = FigureSource::computer;
};

// One followed mobile device as its last reading and its own monitors left it.
struct FollowedDevice {
    std::string serial;  // as the device reports it
    std::string name;
    std::string port;                    // the PortFigures label of its port
    std::string connection;              // its USB session's connection ID
    std::optional<double> batteryRatio;  // 0 … 1
    std::optional<bool> charging;
    std::optional<bool> externalPower;
    std::optional<double> inputWatts;  // the device's own measurement of what it takes in
    std::optional<double> offerWatts;  // what its charger offers, as the device reports it
    IndicatorState verdict = IndicatorState::unavailable;
    bool draining = false;
    double drainDepthRatio = 0.0;            // the fall of the current draining episode, 0 … 1
    std::optional<platform::Date> lastRead;  // its last complete battery reading
};

// What a scrape serves: a plain value, copied out of the fleet so that the writer needs no lock.
struct FleetState {
    std::vector<PortFigures> ports;                                     // connected ports, in port order
    std::vector<FollowedDevice> devices;                                // in port order, then as the port lists them
    std::optional<platform::Date> portsReadAt;                          // the last port read without error
    std::array<std::uint64_t, kAllReadErrorKinds.size()> readErrors{};  // by ReadErrorKind
    double thresholdWatts = 10.0;

    std::uint64_t& errors(ReadErrorKind kind) { return readErrors[static_cast<std::size_t>(kind)]; }
    std::uint64_t errors(ReadErrorKind kind) const { return readErrors[static_cast<std::size_t>(kind)]; }
};

}  // namespace ampwell
