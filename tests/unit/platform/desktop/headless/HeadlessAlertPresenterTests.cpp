#include "platform/desktop/headless/HeadlessAlertPresenter.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ampwell::platform::headless {
namespace {

struct Recorder final : EventStream {
    std::vector<std::pair<std::string, nlohmann::json>> events;
    void emit(const std::string& event, const nlohmann::json& fields) override { events.emplace_back(event, fields); }
};

const Alert kConfirm{"要重置 iPad 的 USB 连接吗？", "这会短暂中断所选设备", {"重置此连接", "取消"}};

TEST(HeadlessAlertPresenter, UsesTheScriptedAnswersInOrderThenTheFirstButton) {
    Recorder recorder;
    HeadlessAlertPresenter alerts(recorder, {"取消", "重置此连接", "知道了"});
    EXPECT_EQ(alerts.runModal(kConfirm), 1u);
    EXPECT_EQ(alerts.runModal(kConfirm), 0u);
    // "知道了" is not a button here: it is used up, and the default answers.
    EXPECT_EQ(alerts.runModal(kConfirm), 0u);
    EXPECT_EQ(alerts.runModal(kConfirm), 0u);  // nothing left: the default again

    ASSERT_EQ(recorder.events.size(), 4u);
    EXPECT_EQ(recorder.events[0].first, "alert");
    EXPECT_EQ(recorder.events[0].second,
              (nlohmann::json{{"message", kConfirm.messageText}, {"informative", kConfirm.informativeText},
                              {"buttons", kConfirm.buttons}, {"answer", "取消"}}));
    EXPECT_EQ(recorder.events[1].second["answer"], "重置此连接");
    EXPECT_EQ(recorder.events[2].second["answer"], "重置此连接");
    EXPECT_EQ(recorder.events[2].second["scriptedAnswer"], "知道了");
    EXPECT_FALSE(recorder.events[3].second.contains("scriptedAnswer"));
}

}  // namespace
}  // namespace ampwell::platform::headless
