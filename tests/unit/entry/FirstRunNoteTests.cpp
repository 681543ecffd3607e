#include "app/entry/FirstRunNote.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ampwell {
namespace {

using ::testing::HasSubstr;

TEST(FirstRunNote, SpeaksOnlyWhenNothingWasFoundAndSaysWhatWasLookedAtHowToQuitAndWhatToTry) {
    Snapshot empty;
    empty.error = "这台电脑未提供 USB 输出功率信息";
    const auto note = firstRunNote(empty);
    ASSERT_TRUE(note);
    EXPECT_THAT(*note, HasSubstr("这台电脑未提供 USB 输出功率信息"));  // why no port had a reading
    EXPECT_THAT(*note, HasSubstr("iPad 或 iPhone"));
    EXPECT_THAT(*note, HasSubstr("Ctrl+C"));
    EXPECT_THAT(*note, HasSubstr("AMPWELL_SIMULATION=examples/desk.json"));
    EXPECT_EQ(note->back(), '\n');

    EXPECT_THAT(firstRunNote(Snapshot{}).value_or(""), HasSubstr("没有 USB-C 接口读数"));

    Snapshot keyboard;
    keyboard.ports.push_back(PortReading{});
    EXPECT_EQ(firstRunNote(keyboard), std::nullopt);
}

}  // namespace
}  // namespace ampwell
