#include "BusHelpers.hpp"
#include "MenuLayout.hpp"
#include "StandInNotificationServer.hpp"
#include "StandInWatcher.hpp"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace ampwell::tests {
namespace {

constexpr const char* kItem = "org.kde.StatusNotifierItem";

// The real program on the simulated desk Mac, found by the tray host stand-in as a user's panel
// would find it, and driven through the exported menu.
class WholeProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = g_dir_make_tmp("ampwell-home-XXXXXX", nullptr);
        runtime = g_dir_make_tmp("ampwell-run-XXXXXX", nullptr);
    }
    void TearDown() override {
        if (pid > 0 && !exited) kill(pid, SIGKILL);
        g_free(home);
        g_free(runtime);
    }

    void start(const std::string& ui) {
        gchar** env = g_get_environ();
        env = g_environ_setenv(env, "AMPWELL_SIMULATION", AMPWELL_SOURCE_DIR "/examples/desk.json", TRUE);
        env = g_environ_setenv(env, "HOME", home, TRUE);
        env = g_environ_setenv(env, "XDG_CONFIG_HOME", home, TRUE);
        env = g_environ_setenv(env, "XDG_RUNTIME_DIR", runtime, TRUE);
        if (ui.empty()) env = g_environ_unsetenv(env, "AMPWELL_UI");
        else env = g_environ_setenv(env, "AMPWELL_UI", ui.c_str(), TRUE);
        const gchar* argv[] = {AMPWELL_BINARY, nullptr};
        GError* error = nullptr;
        ASSERT_TRUE(g_spawn_async(nullptr, const_cast<gchar**>(argv), env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid, &error))
            << (error ? error->message : "");
        g_strfreev(env);
        g_child_watch_add(pid, [](GPid, gint status, gpointer data) {
            auto* self = static_cast<WholeProgramTest*>(data);
            self->exited = true;
            self->status = status;
        }, this);
    }

    gchar* home = nullptr;
    gchar* runtime = nullptr;
    GPid pid = 0;
    bool exited = false;
    int status = -1;
};

TEST_F(WholeProgramTest, ShowsTheDeskInTheTrayAndQuitsFromTheMenu) {
    StandInWatcher watcher;
    StandInNotificationServer notifications;
    ASSERT_TRUE(watcher.waitUntilOwned());
    ASSERT_TRUE(notifications.waitUntilOwned());
    start("");  // chosen by itself: a tray host is running
    ASSERT_TRUE(spinUntil([&] { return !watcher.registered().empty() || exited; }, 20000));
    ASSERT_FALSE(exited);
    const std::string item = watcher.registered()[0];
    GDBusConnection* peer = watcher.connection();
    auto property = [&](const char* name) {
        GVariant* value = getProperty(peer, item, "/StatusNotifierItem", kItem, name);
        std::string out = value && g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)
                              ? g_variant_get_string(value, nullptr)
                              : "";
        if (value) g_variant_unref(value);
        return out;
    };
    // The desk has USB devices: the item shows once the first refresh has found them.
    EXPECT_TRUE(spinUntil([&] { return property("Status") == "Active"; }, 10000));
    EXPECT_EQ(property("XAyatanaLabel"), "");  // the "icon" mode has no text
    EXPECT_NE(property("IconName"), "");

    GVariant* menuPath = getProperty(peer, item, "/StatusNotifierItem", kItem, "Menu");
    ASSERT_NE(menuPath, nullptr);
    const std::string path = g_variant_get_string(menuPath, nullptr);
    g_variant_unref(menuPath);
    LayoutEntry root = readLayout(peer, item, path);
    std::vector<std::string> labels;
    for (const auto& child : root.children)
        if (!child.label.empty()) labels.push_back(child.label);
    ASSERT_GE(labels.size(), 6u);
    EXPECT_NE(labels.front().find(" W"), std::string::npos) << labels.front();  // the overview row
    for (const char* title : {"立即刷新", "偏好设置", "重置 USB 连接…", "关于读数", "退出 Ampwell"})
        EXPECT_NE(root.child(title), nullptr) << title;
    const LayoutEntry* thresholds = root.child("偏好设置") ? root.child("偏好设置")->child("低功率分界") : nullptr;
    ASSERT_NE(thresholds, nullptr);
    ASSERT_EQ(thresholds->children.size(), 3u);
    EXPECT_EQ(thresholds->children[1].label, "10 W");
    EXPECT_EQ(thresholds->children[1].property("toggle-state"), "1");  // the default boundary

    // The user picks the 15 W boundary; the next layout checks it instead.
    ASSERT_TRUE(sendMenuEvent(peer, item, path, 0, "opened"));
    ASSERT_TRUE(sendMenuEvent(peer, item, path, thresholds->children[2].id, "clicked"));
    EXPECT_TRUE(spinUntil([&] {
        LayoutEntry now = readLayout(peer, item, path);
        const LayoutEntry* t = now.child("偏好设置") ? now.child("偏好设置")->child("低功率分界") : nullptr;
        return t && t->children.size() == 3 && t->children[2].property("toggle-state") == "1";
    }, 5000));

    // A left click opens the drawn panel, and brings GTK up first: until now the program had no
    // use for it.
    auto panelShown = [] {
        return std::system("xdotool search --onlyvisible --name '^Ampwell$' > /dev/null 2>&1") == 0;
    };
    EXPECT_FALSE(panelShown());
    GVariant* activated =
        callAndWait(peer, item, "/StatusNotifierItem", kItem, "Activate", g_variant_new("(ii)", 1100, 0));
    ASSERT_NE(activated, nullptr);
    g_variant_unref(activated);
    EXPECT_TRUE(spinUntil(panelShown, 10000));

    ASSERT_TRUE(sendMenuEvent(peer, item, path, root.child("退出 Ampwell")->id, "clicked"));
    ASSERT_TRUE(spinUntil([&] { return exited; }, 10000));
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr));
}

TEST_F(WholeProgramTest, StartedBeforeThePanelItSaysOnceWhatIsMissingThenAppearsWithThePanel) {
    StandInNotificationServer notifications;
    ASSERT_TRUE(notifications.waitUntilOwned());
    start("");  // chosen by itself, as the autostart entry starts it: no tray host yet
    auto notices = [&] {
        return std::count_if(notifications.posted().begin(), notifications.posted().end(),
                             [](const auto& p) { return p.summary.find("没有系统托盘") != std::string::npos; });
    };
    ASSERT_TRUE(spinUntil([&] { return notices() == 1 || exited; }, 20000));
    ASSERT_FALSE(exited);
    const auto notice = *std::find_if(notifications.posted().begin(), notifications.posted().end(), [](const auto& p) {
        return p.summary.find("没有系统托盘") != std::string::npos;
    });
    EXPECT_NE(notice.body.find("托盘出现后自动显示"), std::string::npos) << notice.body;
    EXPECT_EQ(notice.expireTimeout, 0);

    StandInWatcher watcher;  // the panel comes up late
    ASSERT_TRUE(watcher.waitUntilOwned());
    ASSERT_TRUE(spinUntil([&] { return !watcher.registered().empty(); }, 5000));
    // The notice has said what it had to; with the item shown it leaves the screen.
    EXPECT_TRUE(spinUntil(
        [&] {
            const auto& closed = notifications.closedByClient();
            return std::find(closed.begin(), closed.end(), notice.id) != closed.end();
        },
        5000));
    spinUntil([] { return false; }, 500);
    EXPECT_EQ(notices(), 1);

    const std::string item = watcher.registered()[0];
    GVariant* menuPath = getProperty(watcher.connection(), item, "/StatusNotifierItem", kItem, "Menu");
    ASSERT_NE(menuPath, nullptr);
    const std::string path = g_variant_get_string(menuPath, nullptr);
    g_variant_unref(menuPath);
    LayoutEntry root = readLayout(watcher.connection(), item, path);
    ASSERT_NE(root.child("退出 Ampwell"), nullptr);
    ASSERT_TRUE(sendMenuEvent(watcher.connection(), item, path, root.child("退出 Ampwell")->id, "clicked"));
    ASSERT_TRUE(spinUntil([&] { return exited; }, 10000));
}

TEST_F(WholeProgramTest, WithoutADisplayItRunsHeadlessAndSaysSo) {
    gchar* errPath = g_build_filename(runtime, "stderr.txt", nullptr);
    // Headless runs of the desk end on their own at the file's clock.until.
    const std::string command =
        std::string("env -u AMPWELL_UI -u DISPLAY -u WAYLAND_DISPLAY AMPWELL_SIMULATION=" AMPWELL_SOURCE_DIR
                    "/examples/desk.json HOME=") +
        home + " XDG_RUNTIME_DIR=" + runtime + " " AMPWELL_BINARY " > /dev/null 2> " + errPath;
    const int rc = std::system(command.c_str());
    EXPECT_EQ(rc, 0);
    gchar* err = nullptr;
    ASSERT_TRUE(g_file_get_contents(errPath, &err, nullptr, nullptr));
    const std::string text = err;
    EXPECT_NE(text.find("AMPWELL_UI=headless"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    g_free(err);
    g_remove(errPath);
    g_free(errPath);
}

}  // namespace
}  // namespace ampwell::tests
