#pragma once

#include "daemon/AllowedClient.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/base/Translation.hpp"
#include "platform/refresh/BatteryManager.hpp"
#include "platform/refresh/RefreshListener.hpp"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// Everything the daemon's entry point takes from the machine, so that it can run on the host as
// root, inside the simulated Mac, or in a test.
struct AmpwelldEnvironment {
    std::vector<std::string> arguments;  // including the program path
    std::uint32_t effectiveUserID = 0;
    std::ostream* out = nullptr;
    platform::MainQueue* mainQueue = nullptr;
    const platform::Clock* clock = nullptr;
    platform::BatteryManager* batteryManager = nullptr;
    AllowedClient allowed;
    // The listener of the service; nullptr when it cannot be set up.
    std::function<std::unique_ptr<platform::RefreshListener>()> makeListener;
    // The SHA-256 (hex) of the executable file at a path; nullopt when it cannot be read.
    std::function<std::optional<std::string>(const std::string& path)> executableDigest;
    // Runs the main loop until `done` answers true. Main thread.
    std::function<void(const std::function<bool()>& done)> runMainLoop;
};

// The entry type of ampwelld.
class AmpwelldMain {
public:
    // "--check-helper" found a fault. The program then ends abnormally without printing.
    static constexpr int kSelfCheckFailed = -1;
    static constexpr const char* kCheckHelperOption = "--check-helper";
    static constexpr const char* kCheckHelperPassed =
        platform::trMarked("主动采样组件限频、签名匹配及拒绝其他程序检查通过；未请求系统采样。");

    // Runs the daemon or its self-check and returns the exit status: 0 after the idle exit or a
    // passed check, 1 when it may not run, kSelfCheckFailed for a failed check.
    static int main(AmpwelldEnvironment& environment);

    // The self-check, for an unprivileged run.
    static int checkHelper(AmpwelldEnvironment& environment);
};

}  // namespace ampwell
