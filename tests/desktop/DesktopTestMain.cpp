#include <glib.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// The desktop tests need an X display and a private session bus: ctest runs them under xvfb-run
// and dbus-run-session, never against the user's own desktop. Home and the XDG directories are a
// fresh temporary directory, so GTK, GIO and the programs started read no settings of the user.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    g_autofree gchar* home = g_dir_make_tmp("ampwell-desktop-tests-XXXXXX", nullptr);
    if (!home) {
        std::fprintf(stderr, "cannot create a temporary home\n");
        return 1;
    }
    const std::string root = home;
    for (const char* name : {"config", "data", "cache", "runtime"}) {
        const std::string dir = root + "/" + name;
        g_mkdir_with_parents(dir.c_str(), 0700);
    }
    g_setenv("HOME", root.c_str(), TRUE);
    g_setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), TRUE);
    g_setenv("XDG_DATA_HOME", (root + "/data").c_str(), TRUE);
    g_setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), TRUE);
    g_setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), TRUE);
    g_unsetenv("XDG_CURRENT_DESKTOP");
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") || !gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "desktop tests need a display and a session bus (run them through ctest)\n");
        return 1;
    }
    const int failed = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return failed;
}
