#include "platform/desktop/headless/HeadlessEventText.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ampwell::platform::headless {
namespace {

using ::testing::HasSubstr;

TEST(HeadlessEventText, WritesKeyEquivalentsAsTheMachinesMenusDo) {
    const nlohmann::json menu{{"menu", "main"},
                              {"items", {{{"title", "立即刷新"}, {"key", "r"}}, {{"title", "关于读数"}}}}};
    EXPECT_THAT(eventLine(Date{}, "menu", menu, ShortcutStyle::command), HasSubstr("opens: 立即刷新 ⌘R | 关于读数"));
    EXPECT_THAT(eventLine(Date{}, "menu", menu, ShortcutStyle::control),
                HasSubstr("opens: 立即刷新 Ctrl+R | 关于读数"));
}

}  // namespace
}  // namespace ampwell::platform::headless
