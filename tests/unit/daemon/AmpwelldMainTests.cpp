#include "daemon/AmpwelldMain.hpp"

#include "platform/sim/SimMainQueue.hpp"
#include "tests/unit/daemon/FakeBatteryManager.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace ampwell {
namespace {

using platform::dateFromSecondsSince1970;

constexpr double kStart = 1'800'000'000;
const std::string kClientDigest(64, 'a');
const std::string kDaemonDigest(64, 'b');

class RecordingListener final : public platform::RefreshListener {
public:
    explicit RecordingListener(std::vector<std::string>& log) : log_(log) {}
    void setDelegate(platform::RefreshListenerDelegate* delegate) override {
        log_.push_back(delegate ? "delegate" : "no delegate");
    }
    void setConnectionCodeSigningRequirement(const platform::CodeRequirement& requirement) override {
        log_.push_back("requirement " + requirement.text());
    }
    void resume() override { log_.push_back("resume"); }

private:
    std::vector<std::string>& log_;
};

class AmpwelldMainTest : public ::testing::Test {
protected:
    AmpwelldMainTest() : clock(dateFromSecondsSince1970(kStart), 0, kStart - 100), queue(clock) {
        environment.arguments = {"/usr/libexec/ampwell/ampwelld"};
        environment.effectiveUserID = 0;
        environment.out = &out;
        environment.mainQueue = &queue;
        environment.clock = &clock;
        environment.batteryManager = &battery;
        environment.allowed = AllowedClient{501, "sha256 H\"" + kClientDigest + "\""};
        environment.makeListener = [this] { return std::make_unique<RecordingListener>(listenerLog); };
        environment.executableDigest = [this](const std::string& path) -> std::optional<std::string> {
            auto found = digests.find(path);
            if (found == digests.end()) return std::nullopt;
            return found->second;
        };
        environment.runMainLoop = [this](const std::function<bool()>& done) {
            while (!done()) queue.runUntil(clock.now() + platform::Seconds(0.5));
        };
        digests = {{"/usr/bin/ampwell", kClientDigest}, {"/usr/libexec/ampwell/ampwelld", kDaemonDigest}};
    }

    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    test::FakeBatteryManager battery;
    std::ostringstream out;
    std::vector<std::string> listenerLog;
    std::map<std::string, std::string> digests;
    AmpwelldEnvironment environment;
};

TEST_F(AmpwelldMainTest, RunsOnlyAsRootWithoutArgumentsAndEndsTenSecondsAfterLaunch) {
    environment.effectiveUserID = 501;
    EXPECT_EQ(AmpwelldMain::main(environment), 1);
    environment.effectiveUserID = 0;
    environment.arguments.push_back("--check-helper");  // the self-check is for unprivileged runs
    EXPECT_EQ(AmpwelldMain::main(environment), 1);
    environment.arguments = {"/usr/libexec/ampwell/ampwelld", "--verbose"};
    EXPECT_EQ(AmpwelldMain::main(environment), 1);
    EXPECT_TRUE(listenerLog.empty());
    EXPECT_EQ(out.str(), "");

    environment.arguments = {"/usr/libexec/ampwell/ampwelld"};
    EXPECT_EQ(AmpwelldMain::main(environment), 0);
    EXPECT_DOUBLE_EQ(clock.elapsed(), 10.0);
    EXPECT_EQ(listenerLog, (std::vector<std::string>{"requirement sha256 H\"" + kClientDigest + "\"", "delegate", "resume"}));
}

TEST_F(AmpwelldMainTest, SelfCheckPassesForTheClientAndFailsForAnythingElse) {
    environment.effectiveUserID = 501;
    environment.arguments = {"/usr/libexec/ampwell/ampwelld", "--check-helper", "/usr/bin/ampwell"};
    EXPECT_EQ(AmpwelldMain::main(environment), 0);
    EXPECT_EQ(out.str(), std::string(AmpwelldMain::kCheckHelperPassed) + "\n");
    out.str("");

    environment.arguments[2] = "/usr/libexec/ampwell/ampwelld";  // the daemon itself is refused
    EXPECT_EQ(AmpwelldMain::main(environment), AmpwelldMain::kSelfCheckFailed);
    environment.arguments[2] = "/missing";
    EXPECT_EQ(AmpwelldMain::main(environment), AmpwelldMain::kSelfCheckFailed);
    environment.arguments.pop_back();
    EXPECT_EQ(AmpwelldMain::main(environment), 1);

    // A daemon that its own requirement would let in proves nothing.
    environment.arguments.push_back("/usr/bin/ampwell");
    digests["/usr/libexec/ampwell/ampwelld"] = kClientDigest;
    EXPECT_EQ(AmpwelldMain::main(environment), AmpwelldMain::kSelfCheckFailed);

    environment.allowed.allowedPowerRefreshRequirement = "cdhash H\"00\"";
    EXPECT_EQ(AmpwelldMain::main(environment), AmpwelldMain::kSelfCheckFailed);
    environment.allowed.allowedPowerRefreshRequirement = "";
    EXPECT_EQ(AmpwelldMain::main(environment), 1);
    EXPECT_EQ(out.str(), "") << "a failed check printed something";
    EXPECT_EQ(battery.lookups(), 0) << "the self-check touched the battery manager";
}

}  // namespace
}  // namespace ampwell
