#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

// The desktop tests need an X display and a private session bus: ctest runs them under xvfb-run
// and dbus-run-session, never against the user's own desktop.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS") || !gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "desktop tests need a display and a session bus (run them through ctest)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
