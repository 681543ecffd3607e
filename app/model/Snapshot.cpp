#include "app/model/Snapshot.hpp"

#include "app/text/UnicodeText.hpp"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace ampwell {

std::vector<PortReading> Snapshot::connectedPorts() const {
    std::vector<PortReading> result;
    for (const auto& reading : ports)
        if (!reading.connections.empty()) result.push_back(reading);
    return result;
}

std::vector<const PortReading*> Snapshot::connectedReadings() const {
    std::vector<const PortReading*> result;
    for (const auto& reading : ports)
        if (!reading.connections.empty()) result.push_back(&reading);
    return result;
}

std::string Snapshot::connectionSignature() const {
    // Built by appending rather than formatting: it runs on every refresh, for every device.
    std::vector<std::string> entries;
    std::size_t length = 0;
    for (const auto& reading : ports) {
        const std::string port = std::to_string(reading.port);
        for (const auto& device : reading.connections) {
            const std::string serial = normalizedSerial(device.serial);
            std::string entry;
            entry.reserve(port.size() + serial.size() + device.connectionID.size() + device.name.size() + 3);
            entry.append(port).append(1, ':').append(serial).append(1, ':');
            entry.append(device.connectionID).append(1, ':').append(device.name);
            length += entry.size() + 1;
            entries.push_back(std::move(entry));
        }
    }
    // Byte order of UTF-8 is code-point order.
    std::sort(entries.begin(), entries.end());
    std::string signature;
    signature.reserve(length);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) signature += '|';
        signature += entries[i];
    }
    return signature;
}

bool Snapshot::hasMobileDevices() const {
    for (const auto& reading : ports) {
        for (const auto& device : reading.connections) {
            for (const char* needle : {"iPad", "iPhone", "iPod"})
                if (containsCaseFolded(device.name, needle)) return true;
        }
    }
    return false;
}

nlohmann::json toJSON(const Snapshot& snapshot) {
    nlohmann::json json = nlohmann::json::object();
    json["sampledAt"] = snapshot.sampledAt;
    nlohmann::json ports = nlohmann::json::array();
    for (const auto& reading : snapshot.ports) ports.push_back(toJSON(reading));
    json["ports"] = std::move(ports);
    nlohmann::json batteries = nlohmann::json::array();
    for (const auto& battery : snapshot.batteries) batteries.push_back(toJSON(battery));
    json["batteries"] = std::move(batteries);
    if (snapshot.error) json["error"] = *snapshot.error;
    if (snapshot.powerDataUpdatedAt)
        json["powerDataUpdatedAt"] = platform::secondsSince2001(*snapshot.powerDataUpdatedAt);
    return json;
}

Snapshot snapshotFromJSON(const nlohmann::json& json) {
    Snapshot snapshot;
    snapshot.sampledAt = json.at("sampledAt").get<std::string>();
    for (const auto& reading : json.at("ports")) snapshot.ports.push_back(portReadingFromJSON(reading));
    for (const auto& battery : json.at("batteries")) snapshot.batteries.push_back(deviceBatteryFromJSON(battery));
    if (json.contains("error")) snapshot.error = json.at("error").get<std::string>();
    if (json.contains("powerDataUpdatedAt"))
        snapshot.powerDataUpdatedAt = platform::dateFromSecondsSince2001(json.at("powerDataUpdatedAt").get<double>());
    return snapshot;
}

std::string iso8601(platform::Date date) {
    // Clamped to the years 0001 to 9999: outside them the calendar conversion has no four-digit
    // year to give, and the integer conversion below would overflow.
    constexpr double kEarliest = -62135596800.0;  // 0001-01-01T00:00:00Z
    double seconds = std::floor(platform::secondsSince1970(date));
    if (std::isnan(seconds)) seconds = 0;
    seconds = std::clamp(seconds, kEarliest, platform::kLatestSecondsSince1970);
    const std::time_t whole = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&whole, &utc);
    // Written digit by digit: every refresh stamps its snapshot, and a formatting library's
    // machinery is more than a fixed-width stamp needs.
    std::string text = "0000-00-00T00:00:00Z";
    const auto put = [&text](std::size_t end, int value) {
        for (std::size_t at = end; value > 0; value /= 10) text[--at] = static_cast<char>('0' + value % 10);
    };
    put(4, utc.tm_year + 1900);
    put(7, utc.tm_mon + 1);
    put(10, utc.tm_mday);
    put(13, utc.tm_hour);
    put(16, utc.tm_min);
    put(19, utc.tm_sec);
    return text;
}

}  // namespace ampwell
