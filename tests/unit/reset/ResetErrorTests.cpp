#include "app/reset/ResetError.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace ampwell {
namespace {

using platform::UsbHostError;

UsbHostError hostError(std::int64_t code) { return UsbHostError{"com.example.iokit", code, "设备忙"}; }

TEST(ResetError, FixedMessagesOfTheCasesWithoutPayload) {
    const std::vector<std::pair<ResetError, std::string>> cases{
        {ResetError::invalidSerial(), "缺少 iPad 的设备标识，无法安全重置。"},
        {ResetError::deviceNotFound(), "目标 USB 设备已断开，未重置任何设备。"},
        {ResetError::ambiguousDevice(), "无法唯一确认目标 USB 设备，未重置任何设备。"},
        {ResetError::unexpectedDevice(), "目标 USB 设备的身份不符合要求，未重置任何设备。"},
        {ResetError::changedConnection(), "USB 设备的连接已经改变，请重新打开菜单后再试。"},
        {ResetError::identityUnavailable(), "无法核对 USB 设备的连接标识，未重置任何设备。"},
    };
    for (const auto& [error, message] : cases) {
        EXPECT_EQ(error.errorDescription(), message);
        EXPECT_STREQ(error.what(), message.c_str());
        EXPECT_EQ(error.underlyingError(), nullptr);
    }
}

TEST(ResetError, EnumerationFailureNamesTheSignedResultCode) {
    EXPECT_EQ(ResetError::enumerationFailed(static_cast<std::int32_t>(0xE00002BC)).errorDescription(),
              "无法读取当前 USB 设备（系统错误 -536870212）。");
    EXPECT_EQ(ResetError::enumerationFailed(5).errorDescription(), "无法读取当前 USB 设备（系统错误 5）。");
}

TEST(ResetError, SystemDetailIsDomainCodeAndDescriptionInFullWidthPunctuation) {
    EXPECT_EQ(systemDetail(UsbHostError{"IOKit", -536870203, "Exclusive access"}),
              "（IOKit，-536870203：Exclusive access）");
    EXPECT_EQ(ResetError::resetFailed(hostError(-4)).errorDescription(),
              "系统未能完成 USB 设备重置，请尝试手动重新插拔。（com.example.iokit，-4：设备忙）");
}

TEST(ResetError, CannotOpenPrefixFollowsTheLow32BitsOfTheCode) {
    const std::string busy = "USB 设备正被系统或其他应用占用，无法重置。";
    const std::string denied = "系统不允许当前应用访问 USB 重置接口。";
    const std::string refused = "系统拒绝创建 USB 重置客户端，未重置任何设备。";
    const std::vector<std::pair<std::int64_t, std::string>> cases{
        {static_cast<std::int32_t>(0xE00002C5), busy},
        {0xE00002C5, busy},  // the same code stored unsigned
        {static_cast<std::int32_t>(0xE00002C1), denied},
        {static_cast<std::int32_t>(0xE00002E2), denied},
        {static_cast<std::int32_t>(0xE00002C2), refused},
        {0, refused},
        {0x1E00002C5, busy},  // bits above the 32 do not count
    };
    for (const auto& [code, prefix] : cases)
        EXPECT_EQ(ResetError::cannotOpen(hostError(code)).errorDescription(), prefix + systemDetail(hostError(code)))
            << code;
}

TEST(ResetError, CasesKeepTheirOrderAndPayload) {
    EXPECT_EQ(ResetError::enumerationFailed(1).kind(), ResetError::Kind::enumerationFailed);
    EXPECT_EQ(static_cast<int>(ResetError::identityUnavailable().kind()), 8);
    EXPECT_EQ(*ResetError::cannotOpen(hostError(3)).underlyingError(), hostError(3));
    EXPECT_EQ(ResetError::cannotOpen(hostError(3)), ResetError::cannotOpen(hostError(3)));
    EXPECT_NE(ResetError::cannotOpen(hostError(3)), ResetError::resetFailed(hostError(3)));
    EXPECT_NE(ResetError::enumerationFailed(1), ResetError::enumerationFailed(2));

    const ResetResult failed = ResetResult::failure(ResetError::deviceNotFound());
    EXPECT_FALSE(failed.succeeded());
    EXPECT_EQ(*failed.error(), ResetError::deviceNotFound());
    EXPECT_TRUE(ResetResult::success().succeeded());
    EXPECT_EQ(ResetResult::success().error(), nullptr);
}

}  // namespace
}  // namespace ampwell
