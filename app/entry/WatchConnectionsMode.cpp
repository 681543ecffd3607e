#include "app/entry/Modes.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "app/model/USBConnectionObserver.hpp"
#include "app/text/UnicodeText.hpp"
#include "platform/base/Translation.hpp"

#include <algorithm>
#include <ostream>

namespace ampwell {

namespace {

// How long the mode watches, on the platform's clock.
constexpr platform::Seconds kWatchDuration{10.0};

// One line for the devices attached right now: the time, whether the status item should be
// shown (exactly when some device is attached), and the device names in a stable order.
std::string connectionsLine(const Telemetry& telemetry, platform::Date now) {
    std::vector<std::string> names;
    for (const auto& [port, devices] : telemetry.connectedDevices())
        for (const auto& device : devices) names.push_back(device.name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return compareCodePoints(canonicallyNormalized(a), canonicallyNormalized(b)) < 0;
    });
    std::string line =
        iso8601(now) + " · " + (names.empty() ? platform::tr("图标应隐藏") : platform::tr("图标应显示")) + " · ";
    if (names.empty()) return line + platform::tr("无设备");
    for (std::size_t i = 0; i < names.size(); ++i) line += (i == 0 ? "" : platform::tr("、")) + lineSafe(names[i]);
    return line;
}

}  // namespace

int runWatchConnections(ModeContext& context) {
    auto& platform = context.platform();
    const BootIdentity bootIdentity([&platform] { return platform.bootTimeSeconds(); });
    const Telemetry telemetry(platform.registry(), platform.clock(), bootIdentity);
    auto reportConnections = [&] {
        context.out() << connectionsLine(telemetry, platform.clock().now()) << std::endl;
    };

    USBConnectionObserver observer(platform.registry());
    if (!observer.start(reportConnections)) {
        context.err() << platform::tr("USB 插拔监听未能启动。") << '\n';
        return 1;
    }
    context.out() << platform::tr("USB 插入与拔出监听已启动，观察 10 秒；不会重置设备。") << std::endl;
    reportConnections();
    platform.mainQueue().runUntil(platform.clock().now() + kWatchDuration);
    observer.stop();
    return 0;
}

}  // namespace ampwell
