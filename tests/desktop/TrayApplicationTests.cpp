#include "platform/linux/desktop/TrayApplication.hpp"
#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimMainQueue.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

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
    g_idle_add(
        [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &glibServed);
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

// Ends a run that went wrong instead of leaving the test waiting for ever.
class RunLimit {
public:
    RunLimit(linux_::TrayApplication& application, unsigned milliseconds)
        : source_(g_timeout_source_new(milliseconds)) {
        g_source_set_callback(
            source_,
            [](gpointer data) -> gboolean {
                static_cast<linux_::TrayApplication*>(data)->terminate();
                return G_SOURCE_REMOVE;
            },
            &application, nullptr);
        g_source_attach(source_, nullptr);
    }
    ~RunLimit() {
        g_source_destroy(source_);
        g_source_unref(source_);
    }
    RunLimit(const RunLimit&) = delete;
    RunLimit& operator=(const RunLimit&) = delete;

private:
    GSource* source_;
};

double secondsSince(gint64 micros) { return (g_get_monotonic_time() - micros) / 1e6; }

// An idle application sleeps until the queue's next work: work posted by another thread (a
// battery read, a service's reply) must wake it at once, and timed work must run when it is due,
// also on a clock slower than real time.
TEST(TrayApplication, RunsPostedWorkAtOnceAndTimedWorkWhenDue) {
    sim::SimClock clock(Date(Seconds(1.8e9)), 1);
    sim::SimMainQueue queue(clock);
    linux_::TrayApplication application(queue, clock);
    const RunLimit limit(application, 5000);
    gint64 postedMicros = 0;
    double waited = -1;
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        postedMicros = g_get_monotonic_time();
        queue.post([&] {
            waited = secondsSince(postedMicros);
            application.terminate();
        });
    });
    application.run();
    poster.join();
    EXPECT_GE(waited, 0);
    EXPECT_LT(waited, 0.5);

    sim::SimClock slow(Date(Seconds(1.8e9)), 0.1);  // a tenth of real time
    sim::SimMainQueue slowQueue(slow);
    linux_::TrayApplication slowApplication(slowQueue, slow);
    const RunLimit slowLimit(slowApplication, 5000);
    slowQueue.postAfter(Seconds(0.03), std::make_shared<WorkItem>([&] { slowApplication.terminate(); }));
    const gint64 before = g_get_monotonic_time();
    slowApplication.run();
    const double realSeconds = secondsSince(before);
    EXPECT_GE(realSeconds, 0.25);
    EXPECT_LT(realSeconds, 0.8);
}

// A frozen clock moves on with real time only when the application runs the queue; an event
// handler of the desktop must still read the present time, not the time of the last timed work.
TEST(TrayApplication, MovesAFrozenClockOnBeforeADesktopEventIsHandled) {
    sim::SimClock clock(Date(Seconds(1.8e9)), 0);
    sim::SimMainQueue queue(clock);
    linux_::TrayApplication application(queue, clock);
    const Date start = clock.now();
    struct Event {
        linux_::TrayApplication* application;
        const sim::SimClock* clock;
        Date seen{};
    } event{&application, &clock};
    g_timeout_add(
        400,
        [](gpointer data) -> gboolean {
            auto* event = static_cast<Event*>(data);
            event->seen = event->clock->now();
            event->application->terminate();
            return G_SOURCE_REMOVE;
        },
        &event);
    application.run();
    EXPECT_GE((event.seen - start).count(), 0.35);
}

// The queue's source sleeps until a ready time: work a desktop event's handler posts on the main
// thread must still run at once, and work posted while queue work waits in a nested loop (a
// dialog) runs after it, without the source being dispatched over and over meanwhile.
TEST(TrayApplication, RunsWorkAnEventPostsAndWaitsQuietlyBehindANestedLoop) {
    sim::SimClock clock(Date(Seconds(1.8e9)), 1);
    sim::SimMainQueue queue(clock);
    linux_::TrayApplication application(queue, clock);
    const RunLimit limit(application, 5000);
    queue.postAfter(Seconds(60), std::make_shared<WorkItem>([] {}));  // the next timed work is far off
    int nestedTurns = 0;
    bool posterRan = false;
    double eventWaited = -1;
    gint64 eventMicros = 0;
    const std::function<void()> dialogWork = [&] {
        eventWaited = secondsSince(eventMicros);
        // The "dialog": a nested loop for 300 ms, while another thread posts work.
        std::thread poster([&] { queue.post([&] { posterRan = true; }); });
        const gint64 until = g_get_monotonic_time() + 300000;
        const GSourceFunc once = [](gpointer) -> gboolean { return G_SOURCE_REMOVE; };
        g_timeout_add(300, once, nullptr);  // wakes the nested loop at its end
        while (g_get_monotonic_time() < until) {
            g_main_context_iteration(nullptr, TRUE);
            ++nestedTurns;
        }
        poster.join();
        queue.post([&] { application.terminate(); });
    };
    struct Context {
        sim::SimMainQueue* queue;
        const std::function<void()>* work;
    } context{&queue, &dialogWork};
    g_timeout_add(
        100,
        [](gpointer data) -> gboolean {
            auto* context = static_cast<Context*>(data);
            context->queue->post(*context->work);
            return G_SOURCE_REMOVE;
        },
        &context);
    eventMicros = g_get_monotonic_time() + 100000;
    application.run();
    EXPECT_GE(eventWaited, -0.05);
    EXPECT_LT(eventWaited, 0.3);
    EXPECT_TRUE(posterRan);  // after the nested loop, not lost
    EXPECT_LT(nestedTurns, 50);
}

}  // namespace
}  // namespace ampwell::tests
