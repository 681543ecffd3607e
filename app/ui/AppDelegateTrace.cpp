#include "app/ui/AppDelegate.hpp"

#include <chrono>

namespace ampwell {

void AppDelegate::writeSamplingTrace(nlohmann::json record) {
    if (!samplingTrace_) return;
    samplingTrace_->write(std::move(record), clock_.now());
}

void AppDelegate::writeRefreshRecord(const std::string& trigger, platform::Date readStart, platform::Date readEnd) {
    if (!samplingTrace_) return;
    const platform::Date now = clock_.now();
    nlohmann::json ports = nlohmann::json::array();
    std::optional<double> total;
    std::size_t deviceCount = 0;
    for (const auto& reading : snapshot_.connectedPorts()) {
        nlohmann::json port{{"port", reading.port},
                            {"watts", reading.watts ? nlohmann::json(*reading.watts) : nlohmann::json(nullptr)}};
        // Only a figure that is not the computer's own says where it came from.
        if (auto source = sourceText(reading.source); source && reading.watts) port["source"] = *source;
        ports.push_back(std::move(port));
        if (reading.watts) total = total.value_or(0) + *reading.watts;
        deviceCount += reading.connections.size();
    }
    const auto nullable = [](const auto& value) { return value ? nlohmann::json(*value) : nlohmann::json(nullptr); };
    writeSamplingTrace({
        {"trigger", trigger},
        {"interval", cadence_.interval(now)},
        {"fast", cadence_.isFast(now)},
        {"menuOpen", mainMenuIsOpen_},
        {"menuSampling", cadence_.isMenuSampling()},
        {"readAt", platform::secondsSince1970(readEnd)},
        {"readDurationMS", std::chrono::duration<double, std::milli>(readEnd - readStart).count()},
        {"systemUpdatedAt", snapshot_.powerDataUpdatedAt
                                ? nlohmann::json(platform::secondsSince1970(*snapshot_.powerDataUpdatedAt))
                                : nlohmann::json(nullptr)},
        {"visible", statusItem_ && statusItem_->isVisible()},
        {"devices", deviceCount},
        {"watts", nullable(total)},
        {"error", nullable(snapshot_.error)},
        {"ports", std::move(ports)},
    });
}

RenderCallback AppDelegate::traceHook(const std::string& trigger, std::optional<int> port) {
    return [weak = weakSelf(), trigger, port](const std::string& text, bool windowVisible) {
        const auto self = weak.lock();
        if (!self) return;
        nlohmann::json record = {{"trigger", trigger}, {"text", text}, {"panelVisible", windowVisible}};
        if (port) record["port"] = *port;
        self->writeSamplingTrace(std::move(record));
    };
}

}  // namespace ampwell
