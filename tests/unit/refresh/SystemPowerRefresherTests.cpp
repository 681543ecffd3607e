#include "app/refresh/SystemPowerRefresher.hpp"

#include "contract/PowerRefreshService.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "tests/unit/support/FakeRefreshConnector.hpp"
#include "tests/unit/support/MemoryDefaults.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace ampwell {
namespace {

using PowerRefreshService::kIOReturnBusy;
using PowerRefreshService::kIOReturnNotFound;
using platform::dateFromSecondsSince1970;
using Outcome = std::optional<std::uint32_t>;

constexpr double kStart = 1'800'000'000;

platform::RefreshInstallation installed(bool yes) {
    return platform::RefreshInstallation{"/helper", "/job", [yes](const std::string&) { return yes; }, true};
}

class RefresherTest : public ::testing::Test {
protected:
    RefresherTest() : clock(dateFromSecondsSince1970(kStart), 0, kStart - 500), queue(clock) {}

    std::unique_ptr<SystemPowerRefresher> make(bool isInstalled = true) {
        return std::make_unique<SystemPowerRefresher>(connector, defaults, queue, clock, installed(isInstalled));
    }
    SystemPowerRefresher::Completion record() {
        return [this](Outcome status) { outcomes.push_back(status); };
    }
    void runTo(double elapsed) { queue.runUntil(dateFromSecondsSince1970(kStart + elapsed)); }

    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    test::FakeRefreshConnector connector;
    MemoryDefaults defaults;
    std::vector<Outcome> outcomes;
};

TEST_F(RefresherTest, MissingOrSwitchedOffAnswersWithoutStatusAndLeavesTheFailureFlag) {
    auto refresher = make(false);
    refresher->request(record());
    ASSERT_EQ(outcomes, std::vector<Outcome>{std::nullopt});
    EXPECT_FALSE(refresher->lastRequestFailed());

    // Enabled until the user says otherwise; a value of another kind counts as unset.
    auto active = make(true);
    EXPECT_TRUE(active->isEnabled());
    defaults.set(SystemPowerRefresher::kEnabledKey, platform::PropertyValue::string("no"));
    EXPECT_TRUE(active->isEnabled());
    active->setEnabled(false);
    EXPECT_FALSE(active->isEnabled());
    active->request(record());
    EXPECT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[1]);
    EXPECT_TRUE(connector.connections().empty());
}

TEST_F(RefresherTest, SecondRequestIsBusyAtOnceWhileTheFirstGoesOn) {
    auto refresher = make();
    refresher->request(record());
    refresher->request(record());
    ASSERT_EQ(outcomes, std::vector<Outcome>{kIOReturnBusy});
    runTo(0);
    ASSERT_EQ(connector.connections().size(), 1u);
    EXPECT_EQ(connector.last().options, 4096u);
    connector.last().reply(0);
    runTo(0);
    EXPECT_EQ(outcomes, (std::vector<Outcome>{kIOReturnBusy, 0u}));
    EXPECT_FALSE(refresher->isBusy());
    EXPECT_TRUE(connector.last().released);
}

TEST_F(RefresherTest, RequestSoonAfterAnAnswerWaitsForTheRestOfTheTwoSeconds) {
    auto refresher = make();
    refresher->request(record());
    runTo(0);
    connector.last().reply(0);
    runTo(0.5);
    refresher->request(record());
    runTo(1.99);
    EXPECT_EQ(connector.connections().size(), 1u) << "connected before the two seconds were over";
    EXPECT_TRUE(refresher->isBusy());
    runTo(2.5);
    EXPECT_EQ(connector.connections().size(), 2u);
}

TEST_F(RefresherTest, ReplyAfterTheTimeoutIsDroppedAndCannotFinishTheNextRequest) {
    auto refresher = make();
    int completedCalls = 0;
    refresher->setDidCompleteRequest([&] { ++completedCalls; });
    refresher->request(record());
    runTo(2.99);
    EXPECT_TRUE(outcomes.empty());
    runTo(3.0);
    ASSERT_EQ(outcomes, std::vector<Outcome>{std::nullopt});
    EXPECT_TRUE(refresher->lastRequestFailed());
    auto first = connector.connections().front();
    EXPECT_TRUE(first->invalidated);

    refresher->request(record());
    runTo(3.0);
    ASSERT_EQ(connector.connections().size(), 2u);
    first->reply(0);  // the old request's answer, arriving late from another thread
    runTo(3.1);
    EXPECT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(refresher->isBusy()) << "a late reply finished the newer request";
    connector.last().reply(kIOReturnNotFound);
    runTo(3.2);
    EXPECT_EQ(outcomes, (std::vector<Outcome>{std::nullopt, kIOReturnNotFound}));
    EXPECT_EQ(completedCalls, 2);
}

TEST_F(RefresherTest, EveryBrokenConnectionEndsTheRequestWithoutStatus) {
    const std::vector<std::function<void(test::FakeRefreshConnector::Connection&)>> breakages{
        [](auto& connection) { connection.invalidation(); },
        [](auto& connection) { connection.interruption(); },
        [](auto& connection) { connection.proxyError(); },
    };
    double now = 0;
    for (std::size_t i = 0; i <= breakages.size(); ++i) {
        SCOPED_TRACE(i);
        outcomes.clear();
        auto refresher = make();
        std::vector<std::string> order;
        refresher->setDidCompleteRequest([&] { order.push_back("didComplete"); });
        connector.implementsProtocol = i < breakages.size();
        refresher->request([&](Outcome status) {
            order.push_back("completion");
            outcomes.push_back(status);
        });
        runTo(now);
        if (i < breakages.size()) breakages[i](connector.last());
        runTo(now += 0.1);
        EXPECT_EQ(outcomes, std::vector<Outcome>{std::nullopt});
        EXPECT_EQ(order, (std::vector<std::string>{"didComplete", "completion"}));
        EXPECT_TRUE(refresher->lastRequestFailed());
        EXPECT_TRUE(connector.last().released);
        runTo(now += 5);  // the time-out of a finished request does nothing
        EXPECT_EQ(outcomes.size(), 1u);
    }
}

TEST_F(RefresherTest, OnlyRealFailuresMarkTheLastRequestFailed) {
    auto refresher = make();
    const std::vector<std::pair<std::uint32_t, bool>> cases{
        {0, false}, {1, false}, {kIOReturnBusy, false}, {2, true}, {kIOReturnNotFound, true}};
    double now = 0;
    for (const auto& [status, failed] : cases) {
        refresher->request(record());
        runTo(now += 2);
        connector.last().reply(status);
        runTo(now);
        EXPECT_EQ(refresher->lastRequestFailed(), failed) << status;
    }
}

TEST_F(RefresherTest, CancelledOrDestroyedRequestsReportNothing) {
    auto refresher = make();
    refresher->request(record());
    runTo(0);
    connector.last().reply(0);
    runTo(0);
    outcomes.clear();

    refresher->request(record());  // waits until 2.0 for its turn
    refresher->cancel();
    runTo(10);
    EXPECT_EQ(connector.connections().size(), 1u) << "a request cancelled while waiting connected";
    EXPECT_TRUE(outcomes.empty());

    refresher->request(record());
    runTo(10);
    auto inFlight = connector.connections().back();
    refresher.reset();
    EXPECT_TRUE(inFlight->released);
    EXPECT_FALSE(inFlight->invalidated) << "destruction must release, not invalidate";
    inFlight->reply(0);
    runTo(20);
    EXPECT_TRUE(outcomes.empty());
}

// The installed files are judged as they lie on disk: a link or a file others may write is not
// trusted, whatever it points to.
TEST(RefresherInstallation, OnlyProtectedRegularFilesCountAsInstalled) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own the files";
    const auto dir = std::filesystem::temp_directory_path() / ("refresher-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto helper = dir / "helper";
    const auto job = dir / "job";
    const auto link = dir / "link";
    std::ofstream(helper) << "x";
    std::ofstream(job) << "x";
    std::filesystem::create_symlink(helper, link);
    ::chmod(helper.c_str(), 0755);
    ::chmod(job.c_str(), 0644);

    platform::sim::SimClock clock(dateFromSecondsSince1970(kStart), 0);
    platform::sim::SimMainQueue queue(clock);
    test::FakeRefreshConnector connector;
    MemoryDefaults defaults;
    auto installedAt = [&](const std::filesystem::path& helperPath) {
        platform::RefreshInstallation files{helperPath, job, PowerRefreshService::isProtectedRegularFile, true};
        return SystemPowerRefresher(connector, defaults, queue, clock, files).isInstalled();
    };
    EXPECT_TRUE(installedAt(helper));
    EXPECT_FALSE(installedAt(link));
    for (const mode_t mode : {0664, 0646}) {
        ::chmod(helper.c_str(), mode);
        EXPECT_FALSE(installedAt(helper)) << std::oct << mode;
    }
    ::chmod(helper.c_str(), 0755);
    ASSERT_EQ(::chown(helper.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(installedAt(helper));
    EXPECT_FALSE(installedAt(dir / "missing"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ampwell
