#include "app/reset/ResetError.hpp"

#include "platform/base/Translation.hpp"

namespace ampwell {
namespace {

std::string cannotOpenPrefix(std::int64_t code) {
    // The code is an IOKit return value: only its low 32 bits count, whatever sign it was stored with.
    switch (static_cast<std::int32_t>(static_cast<std::uint32_t>(code))) {
    case platform::kResultExclusiveAccess: return platform::tr("USB 设备正被系统或其他应用占用，无法重置。");
    case platform::kResultNotPrivileged:
    case platform::kResultNotPermitted: return platform::tr("系统不允许当前应用访问 USB 重置接口。");
    default: return platform::tr("系统拒绝创建 USB 重置客户端，未重置任何设备。");
    }
}

struct MessageOf {
    std::string operator()(const ResetError::EnumerationFailed& c) const {
        return platform::trFormat("无法读取当前 USB 设备（系统错误 {}）。", c.code);
    }
    std::string operator()(const ResetError::CannotOpen& c) const {
        return cannotOpenPrefix(c.error.code) + systemDetail(c.error);
    }
    std::string operator()(const ResetError::ResetFailed& c) const {
        return platform::tr("系统未能完成 USB 设备重置，请尝试手动重新插拔。") + systemDetail(c.error);
    }
    std::string operator()(const ResetError::InvalidSerial&) const {
        return platform::tr("缺少 iPad 的设备标识，无法安全重置。");
    }
    std::string operator()(const ResetError::DeviceNotFound&) const {
        return platform::tr("目标 USB 设备已断开，未重置任何设备。");
    }
    std::string operator()(const ResetError::AmbiguousDevice&) const {
        return platform::tr("无法唯一确认目标 USB 设备，未重置任何设备。");
    }
    std::string operator()(const ResetError::UnexpectedDevice&) const {
        return platform::tr("目标 USB 设备的身份不符合要求，未重置任何设备。");
    }
    std::string operator()(const ResetError::ChangedConnection&) const {
        return platform::tr("USB 设备的连接已经改变，请重新打开菜单后再试。");
    }
    std::string operator()(const ResetError::IdentityUnavailable&) const {
        return platform::tr("无法核对 USB 设备的连接标识，未重置任何设备。");
    }
};

struct KindOf {
    using Kind = ResetError::Kind;
    Kind operator()(const ResetError::EnumerationFailed&) const { return Kind::enumerationFailed; }
    Kind operator()(const ResetError::CannotOpen&) const { return Kind::cannotOpen; }
    Kind operator()(const ResetError::ResetFailed&) const { return Kind::resetFailed; }
    Kind operator()(const ResetError::InvalidSerial&) const { return Kind::invalidSerial; }
    Kind operator()(const ResetError::DeviceNotFound&) const { return Kind::deviceNotFound; }
    Kind operator()(const ResetError::AmbiguousDevice&) const { return Kind::ambiguousDevice; }
    Kind operator()(const ResetError::UnexpectedDevice&) const { return Kind::unexpectedDevice; }
    Kind operator()(const ResetError::ChangedConnection&) const { return Kind::changedConnection; }
    Kind operator()(const ResetError::IdentityUnavailable&) const { return Kind::identityUnavailable; }
};

}  // namespace

ResetError::Kind ResetError::kind() const { return std::visit(KindOf{}, value_); }

ResetError::ResetError(Value value) : value_(std::move(value)), message_(std::visit(MessageOf{}, value_)) {}

ResetError ResetError::enumerationFailed(std::int32_t code) { return ResetError(EnumerationFailed{code}); }
ResetError ResetError::cannotOpen(platform::UsbHostError error) { return ResetError(CannotOpen{std::move(error)}); }
ResetError ResetError::resetFailed(platform::UsbHostError error) { return ResetError(ResetFailed{std::move(error)}); }
ResetError ResetError::invalidSerial() { return ResetError(InvalidSerial{}); }
ResetError ResetError::deviceNotFound() { return ResetError(DeviceNotFound{}); }
ResetError ResetError::ambiguousDevice() { return ResetError(AmbiguousDevice{}); }
ResetError ResetError::unexpectedDevice() { return ResetError(UnexpectedDevice{}); }
ResetError ResetError::changedConnection() { return ResetError(ChangedConnection{}); }
ResetError ResetError::identityUnavailable() { return ResetError(IdentityUnavailable{}); }

const platform::UsbHostError* ResetError::underlyingError() const {
    if (const auto* c = std::get_if<CannotOpen>(&value_)) return &c->error;
    if (const auto* c = std::get_if<ResetFailed>(&value_)) return &c->error;
    return nullptr;
}

bool operator==(const ResetError& left, const ResetError& right) { return left.value_ == right.value_; }

std::string systemDetail(const platform::UsbHostError& error) {
    return platform::trFormat("（{}，{}：{}）", error.domain, error.code, error.description);
}

}  // namespace ampwell
