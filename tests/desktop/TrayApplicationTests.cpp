#include "platform/linux/desktop/TrayApplication.hpp"
#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimMainQueue.hpp"

#include <glib.h>
#include <gtest/gtest.h>

namespace ampwell::tests {
namespace {

using namespace platform;

class Launches final : public ApplicationDelegate {
public:
    void applicationDidFinishLaunching() override { ++launched; }
    void applicationWillTerminate() override { ++terminated; }
    int launched = 0;
    int terminated = 0;
};

// A frozen simulated clock moves on with real time while the desktop runs, so timed work on the
// simulated queue comes due; GTK's own events (here a GLib idle) keep being served meanwhile.
TEST(TrayApplication, GivesASimulatedQueueTurnsAtThePaceOfRealTime) {
    sim::SimClock clock(Date(Seconds(1.8e9)), 0);
    sim::SimMainQueue queue(clock);
    linux_::TrayApplication application(queue, clock);
    auto delegate = std::make_shared<Launches>();
    application.setDelegate(delegate);
    const Date start = clock.now();
    Date firedAt{};
    queue.postAfter(Seconds(0.3), std::make_shared<WorkItem>([&] {
        firedAt = clock.now();
        application.terminate();
    }));
    bool glibServed = false;
    g_idle_add([](gpointer data) -> gboolean {
        *static_cast<bool*>(data) = true;
        return G_SOURCE_REMOVE;
    }, &glibServed);
    application.hurry();  // quick turns, as after a click
    const gint64 before = g_get_monotonic_time();
    EXPECT_EQ(application.run(), 0);
    const double realSeconds = (g_get_monotonic_time() - before) / 1e6;
    EXPECT_TRUE(glibServed);
    EXPECT_EQ(delegate->launched, 1);
    EXPECT_EQ(delegate->terminated, 1);
    EXPECT_GE((firedAt - start).count(), 0.3 - 1e-6);  // a date near 1.8e9 s keeps microseconds only
    // Ended soon after the work came due, not at the next quiet turn or never.
    EXPECT_GE(realSeconds, 0.25);
    EXPECT_LT(realSeconds, 2.0);
}

}  // namespace
}  // namespace ampwell::tests
