#include "platform/linux/desktop/TrayHostNotice.hpp"

#include <gtest/gtest.h>

namespace ampwell::tests {
namespace {

using platform::linux_::TrayHostNotice;

TEST(TrayHostNotice, NamesTheGnomeExtensionOnlyWhereGnomeRuns) {
    for (const char* gnome : {"GNOME", "ubuntu:GNOME", "GNOME-Classic:GNOME"}) {
        const auto notice = TrayHostNotice::message(gnome);
        EXPECT_NE(notice.body.find("gnome-extensions enable ubuntu-appindicators@ubuntu.com"), std::string::npos)
            << gnome;
        EXPECT_NE(notice.body.find("gnome-shell-extension-appindicator"), std::string::npos) << gnome;
    }
    for (const char* other : {"XFCE", "LXQt", "sway", ""}) {
        const auto notice = TrayHostNotice::message(other);
        EXPECT_EQ(notice.body.find("gnome"), std::string::npos) << other;
        EXPECT_NE(notice.body.find("托盘"), std::string::npos) << other;
        // It stays until closed, or until a host appears and it is withdrawn.
        EXPECT_TRUE(notice.waitsForAnswer);
    }
}

}  // namespace
}  // namespace ampwell::tests
