#include "app/assessment/ChargeMonitor.hpp"
#include "app/assessment/DeviceAccounts.hpp"
#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/entry/Modes.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "platform/base/Translation.hpp"

#include <nlohmann/json.hpp>

#include <ostream>

namespace ampwell {

namespace {

// The threshold the snapshot's verdict is judged against, whatever the user chose in the menu.
constexpr double kSnapshotThresholdWatts = 10.0;

}  // namespace

int runSnapshot(ModeContext& context) {
    auto& platform = context.platform();
    const BootIdentity bootIdentity([&platform] { return platform.bootTimeSeconds(); });
    const Telemetry telemetry(platform.registry(), platform.clock(), bootIdentity);

    Snapshot snapshot = telemetry.read();
    // Ends when the mode returns, after its output: a device slower than the timeout finishes
    // its read then, and never holds up what the user sees.
    DeviceBatteryReader reader(platform.mobileDevices(), platform.registry(), platform.clock());
    snapshot.batteries = reader.readAll(silentDeviceSerials(snapshot));
    applyDeviceAccounts(snapshot, platform.clock().now());

    try {
        // Two-space indentation; keys come out sorted at every level because the JSON object
        // keeps its keys in order. Bytes that are not UTF-8 (a device name as a driver reports
        // it) are written as U+FFFD rather than losing the whole snapshot.
        context.out() << toJSON(snapshot).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } catch (const nlohmann::json::exception& error) {
        context.err() << "ampwell: the snapshot could not be written as JSON: " << error.what() << '\n';
    }

    ChargeMonitor monitor;
    const ChargeStatus status =
        monitor.update(snapshot, snapshot.batteries, kSnapshotThresholdWatts, platform.clock().now());
    // The colour stays its raw value, which scripts read; the rest is for a person.
    context.out() << platform::trFormat("iPad 状态：{}，颜色：{}", status.message, status.state.rawValue())
                  << std::endl;
    return 0;
}

}  // namespace ampwell
