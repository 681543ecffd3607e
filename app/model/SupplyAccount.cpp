#include "app/model/SupplyAccount.hpp"

namespace ampwell {

namespace {

void putOptional(nlohmann::json& json, const char* key, const std::optional<double>& value) {
    if (value) json[key] = *value;
}

std::optional<double> takeOptional(const nlohmann::json& json, const char* key) {
    if (!json.contains(key)) return std::nullopt;
    return json.at(key).get<double>();
}

}  // namespace

std::optional<std::string> sourceText(FigureSource source) {
    switch (source) {
    case FigureSource::computer: return std::nullopt;
    case FigureSource::deviceInput: return "device-input";
    case FigureSource::chargerOffer: return "charger-offer";
    }
    return std::nullopt;
}

std::optional<FigureSource> figureSourceFromText(const std::string& text) {
    if (text == "device-input") return FigureSource::deviceInput;
    if (text == "charger-offer") return FigureSource::chargerOffer;
    return std::nullopt;
}

nlohmann::json toJSON(const SupplyAccount& account) {
    nlohmann::json json = nlohmann::json::object();
    json["entry"] = account.entry;
    putOptional(json, "inputWatts", account.inputWatts);
    putOptional(json, "inputVolts", account.inputVolts);
    putOptional(json, "inputAmps", account.inputAmps);
    putOptional(json, "offerWatts", account.offerWatts);
    putOptional(json, "offerVolts", account.offerVolts);
    putOptional(json, "offerAmps", account.offerAmps);
    if (account.offerDescription) json["offerDescription"] = *account.offerDescription;
    return json;
}

SupplyAccount supplyAccountFromJSON(const nlohmann::json& json) {
    SupplyAccount account;
    account.entry = json.at("entry").get<std::string>();
    account.inputWatts = takeOptional(json, "inputWatts");
    account.inputVolts = takeOptional(json, "inputVolts");
    account.inputAmps = takeOptional(json, "inputAmps");
    account.offerWatts = takeOptional(json, "offerWatts");
    account.offerVolts = takeOptional(json, "offerVolts");
    account.offerAmps = takeOptional(json, "offerAmps");
    if (json.contains("offerDescription")) account.offerDescription = json.at("offerDescription").get<std::string>();
    return account;
}

}  // namespace ampwell
