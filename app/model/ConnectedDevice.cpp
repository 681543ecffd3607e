#include "app/model/ConnectedDevice.hpp"

namespace ampwell {

nlohmann::json toJSON(const ConnectedDevice& device) {
    return {{"name", device.name}, {"serial", device.serial}, {"connectionID", device.connectionID}};
}

ConnectedDevice connectedDeviceFromJSON(const nlohmann::json& json) {
    return ConnectedDevice{json.at("name").get<std::string>(), json.at("serial").get<std::string>(),
                           json.at("connectionID").get<std::string>()};
}

}  // namespace ampwell
