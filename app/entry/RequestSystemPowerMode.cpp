#include "app/entry/Modes.hpp"
#include "app/refresh/SystemPowerRefresher.hpp"
#include "contract/PowerRefreshService.hpp"
#include "platform/base/Translation.hpp"

#include <ostream>

namespace ampwell {
namespace {

constexpr const char* kNotAvailable = platform::trMarked("主动采样组件未安装或未启用。");
constexpr const char* kResultPrefix = "systemPowerRefreshResult=";
// Longer than the refresher's own 3-second time-out, so that its report normally arrives.
constexpr double kWaitSeconds = 4.0;
constexpr double kLoopSlice = 0.05;

}  // namespace

int runRequestSystemPower(ModeContext& context) {
    platform::Platform& platform = context.platform();
    auto refresher = makeSystemPowerRefresher(platform);
    if (!refresher->isInstalled() || !refresher->isEnabled()) {
        context.out() << platform::tr(kNotAvailable) << '\n';
        return 1;
    }
    bool finished = false;
    bool succeeded = false;
    std::ostream& out = context.out();
    refresher->request([&](std::optional<std::uint32_t> status) {
        out << kResultPrefix;
        if (status)
            out << *status;
        else
            out << "unavailable";
        out << '\n';
        succeeded = status && PowerRefreshService::isSuccess(*status);
        finished = true;
    });
    platform::Clock& clock = platform.clock();
    const platform::Date deadline = clock.now() + platform::Seconds(kWaitSeconds);
    while (!finished && clock.now() < deadline) platform.mainQueue().runUntil(clock.now() + platform::Seconds(kLoopSlice));
    refresher->cancel();
    return succeeded ? 0 : 1;
}

}  // namespace ampwell
