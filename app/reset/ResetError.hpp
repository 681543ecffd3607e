#pragma once

#include "platform/devices/UsbHost.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace ampwell {

// Why a USB reset was refused or failed, each reason with the message the user is shown. Every
// case but `resetFailed` arises before the device is touched. The resetter hands it back as a
// value (inside a ResetResult); it is never thrown.
class ResetError {
public:
    struct EnumerationFailed {
        std::int32_t code = 0;
        friend bool operator==(const EnumerationFailed&, const EnumerationFailed&) = default;
    };
    struct CannotOpen {
        platform::UsbHostError error;
        friend bool operator==(const CannotOpen&, const CannotOpen&) = default;
    };
    struct ResetFailed {
        platform::UsbHostError error;
        friend bool operator==(const ResetFailed&, const ResetFailed&) = default;
    };
    struct InvalidSerial {
        friend bool operator==(const InvalidSerial&, const InvalidSerial&) = default;
    };
    struct DeviceNotFound {
        friend bool operator==(const DeviceNotFound&, const DeviceNotFound&) = default;
    };
    struct AmbiguousDevice {
        friend bool operator==(const AmbiguousDevice&, const AmbiguousDevice&) = default;
    };
    struct UnexpectedDevice {
        friend bool operator==(const UnexpectedDevice&, const UnexpectedDevice&) = default;
    };
    struct ChangedConnection {
        friend bool operator==(const ChangedConnection&, const ChangedConnection&) = default;
    };
    struct IdentityUnavailable {
        friend bool operator==(const IdentityUnavailable&, const IdentityUnavailable&) = default;
    };
    using Value = std::variant<EnumerationFailed, CannotOpen, ResetFailed, InvalidSerial, DeviceNotFound,
                               AmbiguousDevice, UnexpectedDevice, ChangedConnection, IdentityUnavailable>;

    // The cases, for comparisons and switches; kind() maps each alternative of Value by its type,
    // so neither list depends on the other's order.
    enum class Kind {
        enumerationFailed,
        cannotOpen,
        resetFailed,
        invalidSerial,
        deviceNotFound,
        ambiguousDevice,
        unexpectedDevice,
        changedConnection,
        identityUnavailable,
    };

    static ResetError enumerationFailed(std::int32_t code);
    static ResetError cannotOpen(platform::UsbHostError error);
    static ResetError resetFailed(platform::UsbHostError error);
    static ResetError invalidSerial();
    static ResetError deviceNotFound();
    static ResetError ambiguousDevice();
    static ResetError unexpectedDevice();
    static ResetError changedConnection();
    static ResetError identityUnavailable();

    Kind kind() const;
    const Value& value() const { return value_; }
    // The host's error of `cannotOpen` and `resetFailed`; nullptr for the other cases.
    const platform::UsbHostError* underlyingError() const;

    // The user-facing message of the case (its localized description).
    const std::string& errorDescription() const { return message_; }
    const char* what() const noexcept { return message_.c_str(); }

    friend bool operator==(const ResetError& left, const ResetError& right);

private:
    explicit ResetError(Value value);
    Value value_;
    std::string message_;
};

// The host's error as the message shows it: "（" domain "，" code "：" description "）".
std::string systemDetail(const platform::UsbHostError& error);

// The outcome of a reset operation: success, or the error that stopped it.
class ResetResult {
public:
    static ResetResult success() { return ResetResult(std::nullopt); }
    static ResetResult failure(ResetError error) { return ResetResult(std::move(error)); }

    bool succeeded() const { return !error_.has_value(); }
    // The error of a failure; nullptr on success.
    const ResetError* error() const { return error_ ? &*error_ : nullptr; }

private:
    explicit ResetResult(std::optional<ResetError> error) : error_(std::move(error)) {}
    std::optional<ResetError> error_;
};

}  // namespace ampwell
