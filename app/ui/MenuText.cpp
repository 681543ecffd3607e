#include "app/ui/MenuText.hpp"
#include "platform/base/Translation.hpp"

#include <fmt/format.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace ampwell {

std::string formatMeasurement(std::optional<double> value, int digits, const std::string& unit) {
    if (!value) return "— " + unit;
    return fmt::format("{:.{}f} {}", *value, digits, unit);
}

std::string truncatedWatts(double watts) {
    const double whole = std::trunc(watts);
    if (std::isfinite(whole) && std::fabs(whole) < 9.2e18) return std::to_string(static_cast<std::int64_t>(whole));
    if (!std::isfinite(whole)) return whole > 0 ? "inf" : (whole < 0 ? "-inf" : "nan");
    return fmt::format("{:.0f}", whole);
}

std::string resetItemTitle(const USBResetTarget& target, const std::vector<USBResetTarget>& all) {
    std::string title;
    if (target.port) title += platform::trFormat("接口 {}", *target.port) + " · ";
    title += target.productName;
    std::size_t twins = 0;
    for (const auto& other : all)
        if (other.productName == target.productName && other.port == target.port) ++twins;
    if (twins >= 2) {
        std::string hex = fmt::format("{:X}", target.registryID);
        if (hex.size() > 4) hex = hex.substr(hex.size() - 4);
        title += " [" + hex + "]";
    }
    if (target.isHub) title += platform::tr("（含下游设备）");
    return title + "…";
}

std::string statusLegend(double threshold) {
    return "\n" + platform::trFormat("达到 80% 上限或正常等待补充时绿色；充电低于 {} W 或持续掉电时黄色。",
                                     truncatedWatts(threshold));
}

std::string aboutInformativeText(double threshold) {
    return platform::trFormat(
        "iPad 接电、达到 80% 且未充电时显示绿色。已观察到上限后，76–79% 的正常等待补充也显示绿色；恢复充电后按 {}"
        " W 分界判断。设备卡片按各接口功率显示绿色或黄色闪电，沿用这一分界；功率未知时灰色，已确认的 iPad "
        "上限保护仍为绿色。\n\n启用及时更新功率后，查看菜单时持续更新读数，收起后仍会定期更新菜单栏图标。"
        "接入新设备或立即刷新也会请求新读数。供电档位是上限，实际功率可以更低。\n\n电量在至少 5 "
        "分钟的观察中下降 2 个百分点，且在充电中或已低于 75%，会变黄并通知一次。正常的 80%→75% "
        "等待不触发掉电通知。\n\n可以从菜单选择重置不同 USB "
        "设备。重置会中断所选设备的数据连接；集线器还会影响下游设备。不保证重新协商供电，只在你确认后执行。",
        truncatedWatts(threshold));
}

std::string figureNote(FigureSource source) {
    switch (source) {
    case FigureSource::computer: return "";
    case FigureSource::deviceInput: return platform::tr("（设备自报输入）");
    case FigureSource::chargerOffer: return platform::tr("（充电器标称）");
    }
    return "";
}

std::string electricalText(const PortReading& port) {
    // A plain USB port never gets a figure from the computer; only a device's account can give one.
    if (!port.watts) return port.name ? platform::tr("此接口不报告功率") : platform::tr("正在读取功率…");
    std::string kind;
    if (port.source == FigureSource::deviceInput) kind = std::string(platform::tr("设备自报输入")) + "  ·  ";
    if (port.source == FigureSource::chargerOffer) kind = std::string(platform::tr("充电器标称")) + "  ·  ";
    return kind + formatMeasurement(port.volts, 2, "V") + "  /  " + formatMeasurement(port.amps, 2, "A") + "  ·  " +
           platform::trFormat("上限 {}", formatMeasurement(port.configuredWatts, 1, "W"));
}

namespace {

// The number after "port", when the rest of the mode is a decimal number.
// A remainder too large for a 64-bit integer is not a number either.
std::optional<std::int64_t> portNumberOfMode(const std::string& mode) {
    if (mode.size() <= 4 || mode.compare(0, 4, "port") != 0) return std::nullopt;
    const char* first = mode.data() + 4;
    const char* last = mode.data() + mode.size();
    for (const char* c = first; c != last; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c))) return std::nullopt;
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) return std::nullopt;
    return number;
}

// The title has room for two characters of note only.
std::string shortNote(FigureSource source) {
    switch (source) {
    case FigureSource::computer: return "";
    case FigureSource::deviceInput: return std::string(" ") + platform::tr("自报");
    case FigureSource::chargerOffer: return std::string(" ") + platform::tr("标称");
    }
    return "";
}

}  // namespace

std::string statusModeText(const ModeTextInputs& inputs) {
    if (inputs.mode == "icon") return "";
    if (inputs.snapshotHasError) return "USB — W";
    if (inputs.mode == "ipad") {
        if (!inputs.iPadPort) return "iPad " + formatMeasurement(std::nullopt, 1, "W");
        const std::string label = inputs.iPadPort->connections.size() >= 2 ? platform::tr("iPad接口") : "iPad";
        return label + " " + formatMeasurement(inputs.iPadPort->watts, 1, "W") + shortNote(inputs.iPadPort->source);
    }
    if (const auto number = portNumberOfMode(inputs.mode)) {
        std::optional<double> watts;
        FigureSource source = FigureSource::computer;
        for (const PortReading* port : inputs.connectedPorts) {
            if (port->port != *number) continue;
            watts = port->watts;
            source = port->source;
        }
        return "C" + std::to_string(*number) + " " + formatMeasurement(watts, 1, "W") + shortNote(source);
    }
    bool anyAccount = false;
    for (const PortReading* port : inputs.connectedPorts)
        anyAccount = anyAccount || (port->watts && port->source != FigureSource::computer);
    return std::string("USB") + (inputs.someWattsMissing ? std::string(" ") + platform::tr("已知") : std::string()) +
           " " + formatMeasurement(inputs.total, 1, "W") +
           (anyAccount ? std::string(" ") + platform::tr("含自报") : std::string());
}

}  // namespace ampwell
