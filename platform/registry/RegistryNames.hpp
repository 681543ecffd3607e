#pragma once

// The registry's vocabulary that the logic reads and the backends publish: class names and
// property keys. A backend that publishes an entry and the code that reads it spell every name
// through these constants, so a name can never drift apart on one side.

#include <cstdint>

namespace ampwell::platform {

namespace messages {
// The power manager's "battery status has changed" general-interest message.
inline constexpr std::uint32_t kBatteryStatusChanged = 0xE0024100;
}  // namespace messages

namespace classes {
inline constexpr const char* kUSBHostDevice = "IOUSBHostDevice";
inline constexpr const char* kUSBHostInterface = "IOUSBHostInterface";
inline constexpr const char* kUSBHostPort = "IOUSBHostPort";
inline constexpr const char* kSmartBattery = "AppleSmartBattery";
// The superclasses the entries above conform to, as a class-conformance question names them.
inline constexpr const char* kUSBDevice = "IOUSBDevice";
inline constexpr const char* kUSBInterface = "IOUSBInterface";
inline constexpr const char* kPowerSource = "IOPMPowerSource";
inline constexpr const char* kService = "IOService";
inline constexpr const char* kRegistryEntry = "IORegistryEntry";
// The power-delivery partner of a Type-C port, with the partner's "Metadata".
inline constexpr const char* kPDPartnerComponent = "IOPortTransportComponentCCUSBPDSOP";
}  // namespace classes

namespace keys {
// USB devices ("IOUSBHostDevice"); each name has an older spelling read when the first is absent.
inline constexpr const char* kProductName = "USB Product Name";
inline constexpr const char* kProductNameFallback = "kUSBProductString";
inline constexpr const char* kSerialNumber = "USB Serial Number";
inline constexpr const char* kSerialNumberFallback = "kUSBSerialNumberString";
inline constexpr const char* kVendorName = "USB Vendor Name";
inline constexpr const char* kSessionID = "sessionID";
inline constexpr const char* kVendorID = "idVendor";
inline constexpr const char* kProductID = "idProduct";
inline constexpr const char* kBuiltIn = "built-in";
inline constexpr const char* kDeviceClass = "bDeviceClass";
inline constexpr const char* kInterfaceClass = "bInterfaceClass";
// Where the host reaches the device (bus and address), for opening it.
inline constexpr const char* kBusNumber = "USB Bus Number";
inline constexpr const char* kAddress = "USB Address";

// Entries of the port plane above a device.
inline constexpr const char* kParentPortType = "ParentPortTypeDescription";
inline constexpr const char* kParentPortNumber = "ParentPortNumber";
// What a plain USB port ("USB" type) is called where the computer names it: the Linux kernel's
// name of the port ("1-2" for port 2 of bus 1). Absent for Type-C ports.
inline constexpr const char* kPortName = "PortName";
inline constexpr const char* kMetadata = "Metadata";
inline constexpr const char* kMetadataVendorID = "Vendor ID";
inline constexpr const char* kMetadataProductID = "Product ID";

// The smart battery: when its figures were taken, and the power sent out of each port.
inline constexpr const char* kUpdateTime = "UpdateTime";
inline constexpr const char* kUserVisiblePathUpdated = "UserVisiblePathUpdated";
inline constexpr const char* kFullPathUpdated = "FullPathUpdated";
inline constexpr const char* kBootPathUpdated = "BootPathUpdated";
inline constexpr const char* kPowerOutDetails = "PowerOutDetails";
inline constexpr const char* kPortIndex = "PortIndex";
inline constexpr const char* kAdapterVoltage = "AdapterVoltage";
inline constexpr const char* kCurrent = "Current";
inline constexpr const char* kWatts = "Watts";
inline constexpr const char* kConfiguredVoltage = "ConfiguredVoltage";
inline constexpr const char* kConfiguredCurrent = "ConfiguredCurrent";
// The batteries of devices fed from a port, as the battery reports them.
inline constexpr const char* kFedDetails = "FedDetails";
inline constexpr const char* kFedVendorID = "FedVendorID";
inline constexpr const char* kFedProductID = "FedProductID";
inline constexpr const char* kFedStateOfCharge = "FedStateOfCharge";
inline constexpr const char* kFedRemainingCapacity = "FedRemainingCapacity";
inline constexpr const char* kFedDesignCapacity = "FedDesignCapacity";
}  // namespace keys

// Port types as "ParentPortTypeDescription" gives them.
namespace portTypes {
inline constexpr const char* kUSBC = "USB-C";
inline constexpr const char* kUSBA = "USB-A";
// A port of the computer that carries USB but whose connector the computer does not name (the
// Linux kernel ties no Type-C connector to it): every USB-A port of a desktop PC, for example.
inline constexpr const char* kUSB = "USB";
}  // namespace portTypes

}  // namespace ampwell::platform
