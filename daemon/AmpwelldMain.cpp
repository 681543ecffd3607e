#include "daemon/AmpwelldMain.hpp"

#include "contract/PowerRefreshService.hpp"
#include "daemon/RefreshHelper.hpp"
#include "platform/refresh/CodeRequirement.hpp"

#include <algorithm>
#include <optional>
#include <ostream>

namespace ampwell {

static_assert(PowerRefreshService::kIOReturnBusy >= 2, "a busy reply must never read as success");

int AmpwelldMain::main(AmpwelldEnvironment& environment) {
    const auto& arguments = environment.arguments;
    const bool checkRequested = std::find(arguments.begin(), arguments.end(), kCheckHelperOption) != arguments.end();
    if (checkRequested && environment.effectiveUserID != 0) return checkHelper(environment);
    if (environment.effectiveUserID != 0 || arguments.size() != 1) return 1;

    std::optional<int> exitStatus;
    RefreshHelper helper(*environment.batteryManager, *environment.mainQueue, *environment.clock,
                         environment.allowed.allowedPowerRefreshUID,
                         [&exitStatus](int status) { exitStatus = status; });
    auto requirement = platform::CodeRequirement::parse(environment.allowed.allowedPowerRefreshRequirement);
    auto listener = environment.makeListener ? environment.makeListener() : nullptr;
    // Without a requirement no client can be verified, and without a listener none can connect:
    // the daemon then serves nobody and ends after its idle delay, as with no client at all.
    if (listener && requirement) {
        listener->setConnectionCodeSigningRequirement(*requirement);
        listener->setDelegate(&helper);
    }
    helper.postponeExit();
    if (listener && requirement) listener->resume();
    environment.runMainLoop([&exitStatus] { return exitStatus.has_value(); });
    // The listener goes first: no request reaches the helper while it ends.
    listener.reset();
    return *exitStatus;
}

int AmpwelldMain::checkHelper(AmpwelldEnvironment& environment) {
    if (PowerRefreshService::kIOReturnBusy < 2) return kSelfCheckFailed;
    std::string error;
    auto requirement = platform::CodeRequirement::parse(environment.allowed.allowedPowerRefreshRequirement, &error);
    if (!error.empty()) return kSelfCheckFailed;
    if (!requirement) return 1;
    const auto& arguments = environment.arguments;
    if (arguments.size() != 3) return 1;

    const auto clientDigest = environment.executableDigest(arguments[2]);
    if (!clientDigest || !requirement->isSatisfiedBy(*clientDigest)) return kSelfCheckFailed;
    // The daemon itself must be refused, or any program could pass itself off as the client.
    if (const auto ownDigest = environment.executableDigest(arguments[0]))
        if (requirement->isSatisfiedBy(*ownDigest)) return kSelfCheckFailed;

    *environment.out << platform::tr(kCheckHelperPassed) << '\n';
    return 0;
}

}  // namespace ampwell
