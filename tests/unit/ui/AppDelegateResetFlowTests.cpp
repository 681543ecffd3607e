#include "tests/unit/support/AppHarness.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace ampwell::test {
namespace {

TEST(AppDelegateResetFlow, AStaleOrForgedNotificationResetsNothing) {
    const char* forged[] = {"1799990000",                  // no session
                            "1799990000:1234567:1",        // three pieces
                            "1700000000:1234567",          // an earlier boot
                            "1799990000:",                 // empty session
                            "1799990000:7654321"};         // the iPad is on another connection
    AppHarness harness;
    harness.launch();
    for (const char* connectionID : forged) harness.app().performReset("00008103-001A", connectionID);
    harness.runUntil(5);
    const auto messages = harness.alertMessages();
    ASSERT_EQ(messages.size(), std::size(forged));
    for (const auto& message : messages) EXPECT_EQ(message, "iPad 的连接已改变");
    EXPECT_EQ(harness.events("alert").front()["informative"], "这条提醒对应旧的连接，未重置设备。请重新打开菜单后再试。");
    EXPECT_TRUE(harness.events("usb-reset").empty());
}

TEST(AppDelegateResetFlow, ANotificationForTheSameConnectionResetsTheIPadWhateverTheSerialsSpelling) {
    AppHarness harness;
    harness.launch();
    harness.app().performReset(" 00008103001a\n", "1799990000:1234567");
    EXPECT_TRUE(harness.app().resetRunning());
    harness.runUntil(5);
    EXPECT_FALSE(harness.app().resetRunning());
    EXPECT_EQ(harness.alertMessages(), (std::vector<std::string>{"已发送 iPad USB 重置请求"}));
    EXPECT_EQ(harness.events("alert").front()["informative"], "正在重新读取连接和供电信息。USB 重置不保证供电档位会改变。");
    const auto triggers = harness.refreshTriggers();
    EXPECT_NE(std::find_if(triggers.begin(), triggers.end(), [](const auto& t) { return t.second == "update"; }),
              triggers.end());
}

TEST(AppDelegateResetFlow, AFailureIsReportedInTheErrorsOwnWordsWithTheReplugHint) {
    AppHarness harness;
    harness.launch();
    harness.app().startReset("iPad", [] { return ResetResult::failure(ResetError::ambiguousDevice()); });
    harness.runUntil(1);
    const auto alerts = harness.events("alert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]["message"], "未能重置 iPad USB");
    EXPECT_EQ(alerts[0]["informative"],
              ResetError::ambiguousDevice().errorDescription() + "\n可以手动重新插拔所选设备的线缆。");
}

TEST(AppDelegateResetFlow, CancellingTheConfirmationStartsNothing) {
    AppHarness harness({.ui = R"({"alertAnswers": ["取消"]})"});
    harness.launch();
    harness.app().resetMenu()->open();
    auto item = harness.app().resetMenu()->items().front();
    harness.app().resetMenu()->close();
    ASSERT_TRUE(item->perform());
    EXPECT_FALSE(harness.app().resetRunning());
    harness.runUntil(5);
    const auto alerts = harness.events("alert");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]["message"], "要重置 iPad 的 USB 连接吗？");
    EXPECT_EQ(alerts[0]["informative"],
              "这会短暂中断所选设备的 USB 数据连接，并重新识别设备。不一定切断供电，也不保证提高充电功率。");
    EXPECT_EQ(alerts[0]["buttons"], (nlohmann::json{"重置此连接", "取消"}));
    EXPECT_TRUE(harness.events("usb-reset").empty());
}

}  // namespace
}  // namespace ampwell::test
