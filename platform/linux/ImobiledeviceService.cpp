#include "platform/linux/ImobiledeviceService.hpp"

#include "platform/linux/PlistValue.hpp"

#include <libimobiledevice/diagnostics_relay.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>
#include <usbmuxd.h>

#include <cstdlib>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kClientLabel = "ampwell";
// The interface type the battery reader accepts: attached over USB.
constexpr std::int32_t kUsbInterface = 1;
constexpr std::int32_t kNetworkInterface = 2;
// What connect() answers for a device whose handle is gone or was never made.
constexpr std::int32_t kNotConnected = LOCKDOWN_E_INVALID_ARG;

// One device from the list: its UDID and connection, and while connected its lockdown client.
class ImobileDevice final : public MobileDevice {
public:
    ImobileDevice(std::string udid, bool network) : udid(std::move(udid)), network(network) {}
    ~ImobileDevice() override { close(); }

    void close() {
        if (client != nullptr) {
            if (session != nullptr) lockdownd_stop_session(client, session);
            lockdownd_client_free(client);
        }
        if (device != nullptr) idevice_free(device);
        std::free(session);
        client = nullptr;
        device = nullptr;
        session = nullptr;
    }

    const std::string udid;
    const bool network;
    idevice_t device = nullptr;
    lockdownd_client_t client = nullptr;
    char* session = nullptr;
};

ImobileDevice& cast(MobileDevice& device) { return static_cast<ImobileDevice&>(device); }

// The host ID of the pair record usbmuxd keeps for the device; empty when there is none.
std::string pairedHostID(const std::string& udid) {
    char* data = nullptr;
    std::uint32_t size = 0;
    if (usbmuxd_read_pair_record(udid.c_str(), &data, &size) < 0 || data == nullptr) return {};
    plist_t record = nullptr;
    plist_from_memory(data, size, &record);
    std::free(data);
    std::string hostID;
    if (record != nullptr) {
        plist_t node = plist_dict_get_item(record, "HostID");
        if (node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
            char* text = nullptr;
            plist_get_string_val(node, &text);
            if (text != nullptr) hostID = text;
            std::free(text);
        }
        plist_free(record);
    }
    return hostID;
}

}  // namespace

MobileDeviceService::State ImobiledeviceService::state() const { return state_.load(); }

MobileDeviceService::State ImobiledeviceService::load() {
    state_.store(State::loaded);
    return State::loaded;
}

std::optional<std::vector<std::shared_ptr<MobileDevice>>> ImobiledeviceService::createDeviceList() {
    idevice_info_t* infos = nullptr;
    int count = 0;
    const idevice_error_t result = idevice_get_device_list_extended(&infos, &count);
    // usbmuxd not running: no device can be reached, which is an empty list, not a failure.
    if (result == IDEVICE_E_NO_DEVICE) return std::vector<std::shared_ptr<MobileDevice>>{};
    if (result != IDEVICE_E_SUCCESS) return std::nullopt;
    std::vector<std::shared_ptr<MobileDevice>> devices;
    for (int i = 0; i < count; ++i) {
        if (infos[i] == nullptr || infos[i]->udid == nullptr) {
            devices.push_back(nullptr);
            continue;
        }
        devices.push_back(std::make_shared<ImobileDevice>(infos[i]->udid, infos[i]->conn_type == CONNECTION_NETWORK));
    }
    idevice_device_list_extended_free(infos);
    return devices;
}

std::int32_t ImobiledeviceService::connect(MobileDevice& handle) {
    auto& device = cast(handle);
    device.close();
    const int lookup = device.network ? IDEVICE_LOOKUP_NETWORK : IDEVICE_LOOKUP_USBMUX;
    const idevice_error_t opened =
        idevice_new_with_options(&device.device, device.udid.c_str(), static_cast<idevice_options>(lookup));
    if (opened != IDEVICE_E_SUCCESS) {
        device.device = nullptr;
        return opened;
    }
    // Without the handshake: no pairing, no dialog on the device.
    const lockdownd_error_t connected = lockdownd_client_new(device.device, &device.client, kClientLabel);
    if (connected != LOCKDOWN_E_SUCCESS) {
        device.client = nullptr;
        device.close();
        return connected;
    }
    return 0;
}

void ImobiledeviceService::disconnect(MobileDevice& device) { cast(device).close(); }

std::int32_t ImobiledeviceService::isPaired(MobileDevice& device) {
    return pairedHostID(cast(device).udid).empty() ? 0 : 1;
}

std::int32_t ImobiledeviceService::validatePairing(MobileDevice& handle) {
    auto& device = cast(handle);
    if (device.client == nullptr) return kNotConnected;
    // ValidatePair sends the existing pair record; without one it fails here, it never pairs.
    return lockdownd_validate_pair(device.client, nullptr);
}

std::int32_t ImobiledeviceService::startSession(MobileDevice& handle) {
    auto& device = cast(handle);
    if (device.client == nullptr) return kNotConnected;
    const std::string hostID = pairedHostID(device.udid);
    if (hostID.empty()) return LOCKDOWN_E_INVALID_HOST_ID;
    char* session = nullptr;
    const lockdownd_error_t started = lockdownd_start_session(device.client, hostID.c_str(), &session, nullptr);
    if (started != LOCKDOWN_E_SUCCESS) {
        std::free(session);
        return started;
    }
    std::free(device.session);
    device.session = session;
    return 0;
}

void ImobiledeviceService::stopSession(MobileDevice& handle) {
    auto& device = cast(handle);
    if (device.client == nullptr || device.session == nullptr) return;
    lockdownd_stop_session(device.client, device.session);
    std::free(device.session);
    device.session = nullptr;
}

std::optional<std::string> ImobiledeviceService::copyDeviceIdentifier(MobileDevice& device) {
    const auto& udid = cast(device).udid;
    if (udid.empty()) return std::nullopt;
    return udid;
}

std::optional<std::string> ImobiledeviceService::copyDeviceUSBSerialNumber(MobileDevice&) {
    // usbmuxd knows a device by its UDID only (which is its USB serial, with a "-" added after
    // eight characters); serials are compared without dashes, so the identifier serves.
    return std::nullopt;
}

std::optional<PropertyValue> ImobiledeviceService::copyValue(MobileDevice& handle,
                                                             const std::optional<std::string>& domain,
                                                             const std::optional<std::string>& key) {
    auto& device = cast(handle);
    if (device.client == nullptr) return std::nullopt;
    plist_t node = nullptr;
    const lockdownd_error_t result = lockdownd_get_value(device.client, domain ? domain->c_str() : nullptr,
                                                         key ? key->c_str() : nullptr, &node);
    std::optional<PropertyValue> value;
    if (result == LOCKDOWN_E_SUCCESS) value = propertyValueFromPlist(node);
    if (node != nullptr) plist_free(node);
    return value;
}

std::optional<PropertyDictionary> ImobiledeviceService::queryRegistryEntry(MobileDevice& handle,
                                                                         const std::string& entryName) {
    auto& device = cast(handle);
    if (device.client == nullptr || device.session == nullptr) return std::nullopt;
    // Started through the lockdown session already open, so the query costs no second handshake.
    // Devices before iOS 7 name the relay differently.
    lockdownd_service_descriptor_t service = nullptr;
    for (const char* name : {DIAGNOSTICS_RELAY_SERVICE_NAME, "com.apple.iosdiagnostics.relay"}) {
        if (lockdownd_start_service(device.client, name, &service) == LOCKDOWN_E_SUCCESS && service != nullptr) break;
        if (service != nullptr) lockdownd_service_descriptor_free(service);
        service = nullptr;
    }
    if (service == nullptr) return std::nullopt;
    diagnostics_relay_client_t relay = nullptr;
    const diagnostics_relay_error_t made = diagnostics_relay_client_new(device.device, service, &relay);
    lockdownd_service_descriptor_free(service);
    if (made != DIAGNOSTICS_RELAY_E_SUCCESS || relay == nullptr) return std::nullopt;
    plist_t answer = nullptr;
    const diagnostics_relay_error_t queried =
        diagnostics_relay_query_ioregistry_entry(relay, entryName.c_str(), nullptr, &answer);
    diagnostics_relay_goodbye(relay);
    diagnostics_relay_client_free(relay);
    std::optional<PropertyDictionary> entry;
    if (queried == DIAGNOSTICS_RELAY_E_SUCCESS && answer != nullptr) {
        if (auto value = propertyValueFromPlist(answer); value && value->dictionaryValue() != nullptr)
            entry = *value->dictionaryValue();
    }
    if (answer != nullptr) plist_free(answer);
    return entry;
}

std::optional<std::int32_t> ImobiledeviceService::interfaceType(MobileDevice& device) {
    return cast(device).network ? kNetworkInterface : kUsbInterface;
}

}  // namespace ampwell::platform::linux_
