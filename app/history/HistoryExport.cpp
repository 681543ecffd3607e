#include "app/history/HistoryExport.hpp"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <ctime>

namespace ampwell {
namespace {

// One row of either kind, flattened to the columns both formats share.
struct Line {
    platform::Date time;
    const PortRow* port = nullptr;
    const DeviceRow* device = nullptr;
};

std::vector<Line> lines(const HistoryRows& rows) {
    std::vector<Line> merged;
    merged.reserve(rows.size());
    std::size_t p = 0;
    std::size_t d = 0;
    while (p < rows.ports.size() || d < rows.devices.size()) {
        if (d == rows.devices.size() || (p < rows.ports.size() && rows.ports[p].time <= rows.devices[d].time)) {
            merged.push_back({rows.ports[p].time, &rows.ports[p], nullptr});
            ++p;
        } else {
            merged.push_back({rows.devices[d].time, nullptr, &rows.devices[d]});
            ++d;
        }
    }
    return merged;
}

std::string number(std::optional<double> value) { return value ? fmt::format("{}", *value) : std::string(); }

std::string flagText(std::optional<bool> value) {
    if (!value) return {};
    return *value ? "true" : "false";
}

std::optional<double> percent(std::optional<double> ratio) {
    if (!ratio) return std::nullopt;
    return std::round(*ratio * 1000.0) / 10.0;
}

std::string sourceName(FigureSource source) { return sourceText(source).value_or("computer"); }

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes doubled.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

constexpr const char* kCsvHeader =
    "time,kind,present,port,connection,serial,name,battery_percent,charging,external_power,input_watts,offer_watts,"
    "verdict,draining,threshold_watts,volts,amps,watts,limit_watts,source\n";

void writeCsvLine(std::ostream& out, const Line& line) {
    std::vector<std::string> fields(20);
    fields[0] = historyTimeText(line.time);
    if (line.port != nullptr) {
        const auto& figures = line.port->figures;
        fields[1] = "port";
        fields[2] = line.port->present ? "true" : "false";
        fields[3] = figures.label;
        fields[4] = figures.connections;
        if (line.port->present) {
            fields[15] = number(figures.volts);
            fields[16] = number(figures.amps);
            fields[17] = number(figures.watts);
            fields[18] = number(figures.limitWatts);
            fields[19] = sourceName(figures.source);
        }
    } else {
        const auto& device = line.device->device;
        fields[1] = "device";
        fields[2] = line.device->present ? "true" : "false";
        fields[3] = device.port;
        fields[4] = device.connection;
        fields[5] = device.serial;
        fields[6] = device.name;
        if (line.device->present) {
            fields[7] = number(percent(device.batteryRatio));
            fields[8] = flagText(device.charging);
            fields[9] = flagText(device.externalPower);
            fields[10] = number(device.inputWatts);
            fields[11] = number(device.offerWatts);
            fields[12] = std::string(device.verdict.rawValue());
            fields[13] = device.draining ? "true" : "false";
            fields[14] = number(line.device->thresholdWatts);
        }
    }
    for (std::size_t i = 0; i < fields.size(); ++i) out << (i == 0 ? "" : ",") << csvField(fields[i]);
    out << '\n';
}

void put(nlohmann::ordered_json& object, const char* key, std::optional<double> value) {
    if (value) object[key] = *value;
}

void put(nlohmann::ordered_json& object, const char* key, std::optional<bool> value) {
    if (value) object[key] = *value;
}

nlohmann::ordered_json jsonLine(const Line& line) {
    nlohmann::ordered_json object{{"time", historyTimeText(line.time)}};
    if (line.port != nullptr) {
        const auto& figures = line.port->figures;
        object["kind"] = "port";
        object["present"] = line.port->present;
        object["port"] = figures.label;
        object["connection"] = figures.connections;
        if (!line.port->present) return object;
        put(object, "volts", figures.volts);
        put(object, "amps", figures.amps);
        put(object, "watts", figures.watts);
        put(object, "limit_watts", figures.limitWatts);
        object["source"] = sourceName(figures.source);
        return object;
    }
    const auto& device = line.device->device;
    object["kind"] = "device";
    object["present"] = line.device->present;
    object["port"] = device.port;
    object["connection"] = device.connection;
    object["serial"] = device.serial;
    object["name"] = device.name;
    if (!line.device->present) return object;
    put(object, "battery_percent", percent(device.batteryRatio));
    put(object, "charging", device.charging);
    put(object, "external_power", device.externalPower);
    put(object, "input_watts", device.inputWatts);
    put(object, "offer_watts", device.offerWatts);
    object["verdict"] = std::string(device.verdict.rawValue());
    object["draining"] = device.draining;
    object["threshold_watts"] = line.device->thresholdWatts;
    return object;
}

}  // namespace

std::optional<HistoryFormat> historyFormatFromText(std::string_view text) {
    if (text == "csv") return HistoryFormat::csv;
    if (text == "json") return HistoryFormat::json;
    return std::nullopt;
}

std::optional<platform::Seconds> parseHistoryDuration(std::string_view text) {
    if (text.size() < 2) return std::nullopt;
    double unit = 0;
    switch (text.back()) {
    case 's': unit = 1; break;
    case 'm': unit = 60; break;
    case 'h': unit = 3600; break;
    case 'd': unit = 86400; break;
    default: return std::nullopt;
    }
    const std::string_view digits = text.substr(0, text.size() - 1);
    std::uint32_t count = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (error != std::errc() || end != digits.data() + digits.size() || count == 0) return std::nullopt;
    return platform::Seconds(static_cast<double>(count) * unit);
}

std::string historyTimeText(platform::Date date) {
    const auto total = std::llround(platform::secondsSince1970(date) * 1000.0);
    const auto seconds = static_cast<std::time_t>(total >= 0 ? total / 1000 : (total - 999) / 1000);
    const auto millis = static_cast<int>(total - static_cast<long long>(seconds) * 1000);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return fmt::format("{}.{:03}Z", text, millis);
}

void writeHistory(std::ostream& out, const HistoryRows& rows, HistoryFormat format, platform::Date from,
                  platform::Date to) {
    const std::vector<Line> merged = lines(rows);
    if (format == HistoryFormat::csv) {
        out << kCsvHeader;
        for (const auto& line : merged) writeCsvLine(out, line);
        return;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& line : merged) list.push_back(jsonLine(line));
    const nlohmann::ordered_json document{
        {"from", historyTimeText(from)}, {"to", historyTimeText(to)}, {"rows", std::move(list)}};
    out << document.dump(2) << '\n';
}

}  // namespace ampwell
