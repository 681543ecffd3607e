#include "app/model/PortReading.hpp"

namespace ampwell {

std::vector<std::string> deviceNames(const std::vector<ConnectedDevice>& connections) {
    std::vector<std::string> names;
    names.reserve(connections.size());
    for (const auto& device : connections) names.push_back(device.name);
    return names;
}

std::string portTitle(const PortReading& reading) {
    return reading.name ? *reading.name : "USB-C " + std::to_string(reading.port);
}

nlohmann::json toJSON(const PortReading& reading) {
    nlohmann::json json = nlohmann::json::object();
    json["port"] = reading.port;
    if (reading.name) json["name"] = *reading.name;
    json["devices"] = reading.devices;
    nlohmann::json connections = nlohmann::json::array();
    for (const auto& device : reading.connections) connections.push_back(toJSON(device));
    json["connections"] = std::move(connections);
    if (reading.watts) json["watts"] = *reading.watts;
    if (reading.volts) json["volts"] = *reading.volts;
    if (reading.amps) json["amps"] = *reading.amps;
    if (reading.reportedBatteryPercent) json["reportedBatteryPercent"] = *reading.reportedBatteryPercent;
    if (reading.configuredWatts) json["configuredWatts"] = *reading.configuredWatts;
    if (auto source = sourceText(reading.source)) json["source"] = *source;
    return json;
}

namespace {
template <typename T>
std::optional<T> optionalKey(const nlohmann::json& json, const char* key) {
    if (!json.contains(key)) return std::nullopt;
    return json.at(key).get<T>();
}
}  // namespace

PortReading portReadingFromJSON(const nlohmann::json& json) {
    PortReading reading;
    reading.port = json.at("port").get<int>();
    reading.devices = json.at("devices").get<std::vector<std::string>>();
    for (const auto& device : json.at("connections")) reading.connections.push_back(connectedDeviceFromJSON(device));
    reading.watts = optionalKey<double>(json, "watts");
    reading.volts = optionalKey<double>(json, "volts");
    reading.amps = optionalKey<double>(json, "amps");
    reading.reportedBatteryPercent = optionalKey<int>(json, "reportedBatteryPercent");
    reading.configuredWatts = optionalKey<double>(json, "configuredWatts");
    reading.name = optionalKey<std::string>(json, "name");
    if (auto source = optionalKey<std::string>(json, "source")) {
        auto known = figureSourceFromText(*source);
        if (!known) throw nlohmann::json::other_error::create(501, "unknown figure source \"" + *source + "\"", &json);
        reading.source = *known;
    }
    return reading;
}

}  // namespace ampwell
