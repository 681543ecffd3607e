#include "app/metrics/MetricsExposition.hpp"

#include <fmt/format.h>

#include <iterator>
#include <optional>

namespace ampwell {
namespace {

// Label values come from devices (names, serials): quotes, backslashes and line breaks in them
// must not end the value or the line early.
void appendEscaped(std::string& out, std::string_view value) {
    for (const char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

const char* sourceLabel(FigureSource source) {
    switch (source) {
    case FigureSource::computer: return "computer";
    case FigureSource::deviceInput: return "device_input";
    case FigureSource::chargerOffer: return "charger_offer";
    }
    return "computer";
}

class Writer {
public:
    Writer(std::string& out, ExpositionFormat format) : out_(out), format_(format) {}

    // `name` is the family's name; in OpenMetrics a counter's samples carry "_total" and an info
    // family's "_info", and the text format names the family after its samples.
    void family(std::string_view name, std::string_view type, std::string_view unit, std::string_view help) {
        const bool open = format_ == ExpositionFormat::openMetrics;
        family_ = name;
        suffix_ = type == "counter" ? "_total" : type == "info" ? "_info" : "";
        // The text format knows neither state sets nor info: both are gauges there.
        const std::string_view shownType = open || (type != "stateset" && type != "info") ? type : "gauge";
        const std::string_view shownSuffix = open ? "" : suffix_;
        fmt::format_to(std::back_inserter(out_), "# HELP {}{} {}\n# TYPE {}{} {}\n", name, shownSuffix, help, name,
                       shownSuffix, shownType);
        if (open && !unit.empty()) fmt::format_to(std::back_inserter(out_), "# UNIT {} {}\n", name, unit);
    }

    void device(const FollowedDevice& device, std::string_view extraName = {}, std::string_view extraValue = {}) {
        begin();
        label("serial", device.serial, false);
        label("name", device.name, true);
        label("port", device.port, true);
        if (!extraName.empty()) label(extraName, extraValue, true);
    }
    void port(const PortFigures& port, bool withSource) {
        begin();
        label("port", port.label, false);
        if (withSource) label("source", sourceLabel(port.source), true);
    }
    // A sample with labels to follow.
    void plain() { begin(); }
    // A sample without labels.
    void bare() {
        out_ += family_;
        out_ += suffix_;
        labels_ = false;
    }
    void label(std::string_view name, std::string_view value, bool comma) {
        if (comma) out_ += ',';
        out_ += name;
        out_ += "=\"";
        appendEscaped(out_, value);
        out_ += '"';
    }
    void value(double number) {
        if (labels_) out_ += '}';
        fmt::format_to(std::back_inserter(out_), " {}\n", number);
    }
    void flag(bool on) { value(on ? 1.0 : 0.0); }
    void end() {
        if (format_ == ExpositionFormat::openMetrics) out_ += "# EOF\n";
    }

private:
    void begin() {
        out_ += family_;
        out_ += suffix_;
        out_ += '{';
        labels_ = true;
    }

    std::string& out_;
    ExpositionFormat format_;
    std::string_view family_;
    std::string_view suffix_;
    bool labels_ = false;
};

void optionalPortSeries(Writer& writer, const FleetState& state, std::optional<double> PortFigures::*field,
                        bool withSource) {
    for (const auto& port : state.ports) {
        if (!(port.*field)) continue;
        writer.port(port, withSource);
        writer.value(*(port.*field));
    }
}

void optionalDeviceSeries(Writer& writer, const FleetState& state, std::optional<double> FollowedDevice::*field) {
    for (const auto& device : state.devices) {
        if (!(device.*field)) continue;
        writer.device(device);
        writer.value(*(device.*field));
    }
}

void optionalFlagSeries(Writer& writer, const FleetState& state, std::optional<bool> FollowedDevice::*field) {
    for (const auto& device : state.devices) {
        if (!(device.*field)) continue;
        writer.device(device);
        writer.flag(*(device.*field));
    }
}

}  // namespace

const char* expositionContentType(ExpositionFormat format) {
    return format == ExpositionFormat::openMetrics ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
                                                   : "text/plain; version=0.0.4; charset=utf-8";
}

ExpositionFormat negotiateExposition(std::string_view accept) {
    return accept.find("application/openmetrics-text") != std::string_view::npos ? ExpositionFormat::openMetrics
                                                                                 : ExpositionFormat::prometheusText;
}

void writeExposition(const FleetState& state, ExpositionFormat format, std::string_view version, std::string& out) {
    out.clear();
    Writer writer(out, format);

    writer.family("ampwell_build", "info", "", "The program's version.");
    writer.plain();
    writer.label("version", version, false);
    writer.value(1);

    writer.family("ampwell_supply_threshold_watts", "gauge", "watts",
                  "The power below which a device's supply is judged low.");
    writer.bare();
    writer.value(state.thresholdWatts);

    writer.family("ampwell_port_output_volts", "gauge", "volts", "Voltage a port delivers.");
    optionalPortSeries(writer, state, &PortFigures::volts, true);
    writer.family("ampwell_port_output_amperes", "gauge", "amperes", "Current a port delivers.");
    optionalPortSeries(writer, state, &PortFigures::amps, true);
    writer.family("ampwell_port_output_watts", "gauge", "watts", "Power a port delivers.");
    optionalPortSeries(writer, state, &PortFigures::watts, true);
    writer.family("ampwell_port_limit_watts", "gauge", "watts", "Power limit negotiated on a port.");
    optionalPortSeries(writer, state, &PortFigures::limitWatts, false);
    if (state.portsReadAt) {
        writer.family("ampwell_ports_last_read_timestamp_seconds", "gauge", "seconds",
                      "When the ports were last read without error, in seconds since 1970.");
        writer.bare();
        writer.value(platform::secondsSince1970(*state.portsReadAt));
    }

    writer.family("ampwell_device_battery_ratio", "gauge", "ratio", "A device's battery charge, from 0 to 1.");
    optionalDeviceSeries(writer, state, &FollowedDevice::batteryRatio);
    writer.family("ampwell_device_charging", "gauge", "", "Whether a device is charging (1) or not (0).");
    optionalFlagSeries(writer, state, &FollowedDevice::charging);
    writer.family("ampwell_device_external_power", "gauge", "",
                  "Whether a device reports external power connected (1) or not (0).");
    optionalFlagSeries(writer, state, &FollowedDevice::externalPower);
    writer.family("ampwell_device_input_watts", "gauge", "watts", "Power a device measures it takes in.");
    optionalDeviceSeries(writer, state, &FollowedDevice::inputWatts);
    writer.family("ampwell_device_charger_offer_watts", "gauge", "watts",
                  "Power a device's charger offers it, as the device reports it.");
    optionalDeviceSeries(writer, state, &FollowedDevice::offerWatts);

    writer.family("ampwell_device_supply", "stateset", "",
                  "The verdict on a device's supply against the threshold: normal, low or unavailable.");
    for (const auto& device : state.devices) {
        for (const IndicatorState verdict : IndicatorState::allCases) {
            const std::string_view raw = verdict.rawValue();
            writer.device(device, "ampwell_device_supply", raw);
            writer.flag(device.verdict == verdict);
        }
    }
    writer.family("ampwell_device_draining", "gauge", "",
                  "Whether a device keeps losing charge on external power (1) or not (0).");
    for (const auto& device : state.devices) {
        writer.device(device);
        writer.flag(device.draining);
    }
    writer.family("ampwell_device_drain_depth_ratio", "gauge", "ratio",
                  "How much charge a device has lost in its current drain on external power, from 0 to 1.");
    for (const auto& device : state.devices) {
        writer.device(device);
        writer.value(device.drainDepthRatio);
    }
    writer.family("ampwell_device_last_read_timestamp_seconds", "gauge", "seconds",
                  "When a device's battery was last read completely, in seconds since 1970.");
    for (const auto& device : state.devices) {
        if (!device.lastRead) continue;
        writer.device(device);
        writer.value(platform::secondsSince1970(*device.lastRead));
    }

    writer.family("ampwell_read_errors", "counter", "", "Failed reads, by kind.");
    for (const ReadErrorKind kind : kAllReadErrorKinds) {
        writer.plain();
        writer.label("kind", readErrorKindText(kind), false);
        writer.value(static_cast<double>(state.errors(kind)));
    }
    writer.end();
}

}  // namespace ampwell
