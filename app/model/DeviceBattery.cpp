#include "app/model/DeviceBattery.hpp"

namespace ampwell {

nlohmann::json toJSON(const DeviceBattery& battery) {
    nlohmann::json json = nlohmann::json::object();
    json["serial"] = battery.serial;
    json["deviceClass"] = battery.deviceClass;
    json["sampledAt"] = platform::secondsSince2001(battery.sampledAt);
    if (battery.percent) json["percent"] = *battery.percent;
    if (battery.isCharging) json["isCharging"] = *battery.isCharging;
    if (battery.externalConnected) json["externalConnected"] = *battery.externalConnected;
    if (battery.connectionID) json["connectionID"] = *battery.connectionID;
    if (battery.account) json["account"] = toJSON(*battery.account);
    return json;
}

DeviceBattery deviceBatteryFromJSON(const nlohmann::json& json) {
    DeviceBattery battery;
    battery.serial = json.at("serial").get<std::string>();
    battery.deviceClass = json.at("deviceClass").get<std::string>();
    battery.sampledAt = platform::dateFromSecondsSince2001(json.at("sampledAt").get<double>());
    if (json.contains("percent")) battery.percent = json.at("percent").get<int>();
    if (json.contains("isCharging")) battery.isCharging = json.at("isCharging").get<bool>();
    if (json.contains("externalConnected")) battery.externalConnected = json.at("externalConnected").get<bool>();
    if (json.contains("connectionID")) battery.connectionID = json.at("connectionID").get<std::string>();
    if (json.contains("account")) battery.account = supplyAccountFromJSON(json.at("account"));
    return battery;
}

}  // namespace ampwell
