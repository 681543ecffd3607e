#include "contract/RefreshWire.hpp"
#include "daemon/AllowedClient.hpp"
#include "daemon/AmpwelldMain.hpp"
#include "platform/base/Translation.hpp"
#include "platform/linux/GLibMainQueue.hpp"
#include "platform/linux/JournalLog.hpp"
#include "platform/linux/refresh/DaemonSockets.hpp"
#include "platform/linux/refresh/ExecutableDigest.hpp"
#include "platform/linux/refresh/LinuxBatteryManager.hpp"
#include "platform/linux/refresh/LinuxRefreshListener.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

using namespace ampwell;

int main(int argc, char** argv) {
    platform::useMessageCatalog();
    platform::SystemClock clock;
    platform::linux_::GLibMainQueue mainQueue(clock);
    platform::linux_::LinuxBatteryManager batteryManager;
    platform::linux_::DaemonSockets sockets;
    platform::linux_::JournalLog journal("ampwelld");

    AmpwelldEnvironment environment;
    environment.arguments.assign(argv, argv + argc);
    environment.effectiveUserID = static_cast<std::uint32_t>(::geteuid());
    environment.out = &std::cout;
    environment.mainQueue = &mainQueue;
    environment.clock = &clock;
    environment.batteryManager = &batteryManager;
#ifdef AMPWELL_DAEMON_CONFIGURATION
    // A packaged daemon learns its user and client at start-up. Without both it serves nobody:
    // it refuses to start, and the journal (which keeps standard error) says why.
    const auto allowed = AllowedClient::fromInstalledFiles({AMPWELL_DAEMON_CONFIGURATION, AMPWELL_CLIENT_DIGEST_PATH},
                                                           AllowedClient::systemTrust());
    if (!allowed) {
        const bool serving = environment.effectiveUserID == 0 && argc == 1;
        const bool checking = environment.effectiveUserID != 0 &&
                              std::find(environment.arguments.begin(), environment.arguments.end(),
                                        AmpwelldMain::kCheckHelperOption) != environment.arguments.end();
        if (serving || checking) std::cerr << "ampwelld: not started: " << allowed.error() << std::endl;
        if (checking) std::abort();
        return 1;
    }
    environment.allowed = *allowed;
#else
    environment.allowed = AllowedClient::fromBuildSettings();
#endif
    environment.makeListener = [&sockets, &journal]() -> std::unique_ptr<platform::RefreshListener> {
        const char* extraPath = std::getenv(RefreshWire::kSocketPathVariable);
        sockets = platform::linux_::openDaemonSockets(extraPath != nullptr ? extraPath : "");
        // The journal keeps what a daemon writes to standard error.
        for (const auto& problem : sockets.problems) std::cerr << "ampwelld: " << problem << std::endl;
        platform::linux_::LinuxRefreshListener::Options options;
        options.log = &journal;
        return std::make_unique<platform::linux_::LinuxRefreshListener>(std::move(sockets.listening), options);
    };
    environment.executableDigest = [](const std::string& path) { return platform::linux_::sha256OfFile(path); };
    environment.runMainLoop = [&mainQueue, &clock](const std::function<bool()>& done) {
        while (!mainQueue.runUntil(clock.now() + platform::Seconds(3600), done)) {}
    };

    const int status = AmpwelldMain::main(environment);
    std::cout.flush();
    if (status == AmpwelldMain::kSelfCheckFailed) std::abort();
    return status;
}
