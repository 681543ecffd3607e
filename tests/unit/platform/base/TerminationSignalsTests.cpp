// A stop request becomes a call the program answers, once; afterwards the signals are as before.
#include "platform/base/TerminationSignals.hpp"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <future>

namespace ampwell::platform {
namespace {

volatile sig_atomic_t previousHandlerCalls = 0;

TEST(TerminationSignals, ASignalIsAnsweredOnceAndTheOldActionComesBack) {
    struct sigaction previous {};
    previous.sa_handler = [](int) { previousHandlerCalls = previousHandlerCalls + 1; };
    sigemptyset(&previous.sa_mask);
    struct sigaction saved {};
    ASSERT_EQ(sigaction(SIGHUP, &previous, &saved), 0);
    {
        std::promise<int> answered;
        const TerminationSignals signals([&answered](int number) { answered.set_value(number); });
        ASSERT_EQ(raise(SIGTERM), 0);
        auto number = answered.get_future();
        ASSERT_EQ(number.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(number.get(), SIGTERM);
        // Once answered, a second request is no longer caught: the previous action has it.
        ASSERT_EQ(raise(SIGHUP), 0);
        EXPECT_EQ(previousHandlerCalls, 1);
    }
    ASSERT_EQ(raise(SIGHUP), 0);
    EXPECT_EQ(previousHandlerCalls, 2);
    sigaction(SIGHUP, &saved, nullptr);
}

}  // namespace
}  // namespace ampwell::platform
