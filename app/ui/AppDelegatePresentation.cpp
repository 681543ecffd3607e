#include "app/ui/AppDelegate.hpp"

#include "app/text/UnicodeText.hpp"
#include "app/ui/MenuText.hpp"
#include "platform/base/Translation.hpp"

#include <algorithm>
#include <cmath>

namespace ampwell {

namespace {

bool namesAnIPad(const std::string& name) { return containsCaseFolded(name, "iPad"); }

// The one connected port with an iPad on it; null when none or several have one.
const PortReading* iPadPortOf(const std::vector<const PortReading*>& connected) {
    const PortReading* found = nullptr;
    for (const PortReading* reading : connected) {
        const bool hasIPad = std::any_of(reading->connections.begin(), reading->connections.end(),
                                         [](const ConnectedDevice& device) { return namesAnIPad(device.name); });
        if (!hasIPad) continue;
        if (found) return nullptr;
        found = reading;
    }
    return found;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : separator) + parts[i];
    return text;
}

}  // namespace

void AppDelegate::rebuildPortRows(const std::vector<const PortReading*>& connected) {
    // A port the power source lists twice still has one row; comparing the raw list would rebuild
    // every row on every refresh.
    std::vector<int> wanted;
    for (const PortReading* reading : connected)
        if (std::find(wanted.begin(), wanted.end(), reading->port) == wanted.end()) wanted.push_back(reading->port);
    std::sort(wanted.begin(), wanted.end());
    std::vector<int> present;
    for (const auto& [port, item] : portItems_) present.push_back(port);
    if (wanted == present) return;

    for (const auto& [port, item] : portItems_) menu_->removeItem(*item);
    portItems_.clear();
    portViews_.clear();
    for (const int port : wanted) {
        auto view = std::make_unique<DevicePowerView>();
        if (samplingTrace_) view->onPowerRendered = traceHook("card-draw", port);
        auto item = std::make_shared<platform::MenuItem>();
        item->setView(view.get());
        menu_->insertItem(item, menu_->indexOf(*portSectionEnd_).value_or(menu_->items().size()));
        portItems_.emplace(port, std::move(item));
        portViews_.emplace(port, std::move(view));
    }
}

void AppDelegate::presentSnapshot(bool hasDevices, const std::vector<const PortReading*>& connected) {
    const double boundary = threshold();
    const platform::Date now = clock_.now();

    std::optional<double> total;
    std::size_t measured = 0;
    std::size_t accounted = 0;  // of the measured, figures a device gave
    std::size_t deviceCount = 0;
    for (const PortReading* reading : connected) {
        if (reading->watts) {
            total = total.value_or(0) + *reading->watts;
            ++measured;
            if (reading->source != FigureSource::computer) ++accounted;
        }
        deviceCount += reading->connections.size();
    }
    // A snapshot error speaks of the computer's figures; where devices gave their own, those show.
    const bool errorStands = snapshot_.error.has_value() && accounted == 0;
    const PortReading* iPadPort = iPadPortOf(connected);
    std::optional<ConnectedDevice> iPadDevice;
    if (iPadPort && iPadPort->connections.size() == 1) iPadDevice = iPadPort->connections.front();
    const std::optional<double> iPadWatts = iPadPort ? iPadPort->watts : std::nullopt;
    const std::string iPadNote = iPadPort && iPadWatts ? figureNote(iPadPort->source) : "";

    // 1.
    rebuildPortRows(connected);

    // 2.
    const ChargeStatus status = chargeMonitor_.update(snapshot_, batteries_, boundary, now);
    std::optional<std::string> trendKey;
    if (iPadDevice) trendKey = normalizedSerial(iPadDevice->serial) + ":" + iPadDevice->connectionID;
    const TrendStatus trend = trendMonitor_.update(trendKey, status.battery, now);
    const IndicatorState state = trend.falling ? IndicatorState(IndicatorState::low) : status.state;
    std::string statusText = status.message + " · " + format(iPadWatts, 2, "W") + iPadNote;
    if (trend.falling) statusText += std::string(" · ") + platform::tr("疑似供电不足");

    // 3.
    if (trend.falling && trend.incident && iPadDevice)
        notifier_->alert(*trend.incident,
                         platform::trFormat("{}，当前 {}", trend.message, format(iPadWatts, 2, "W") + iPadNote),
                         iPadDevice->serial, iPadDevice->connectionID);
    else if (!trend.falling)
        notifier_->incidentEnded();

    // 4.
    std::string caption = platform::trPluralFormat("{} 台设备", "{} 台设备", deviceCount, deviceCount) + " · ";
    if (measured == 0)
        caption += platform::tr("等待系统提供功率");
    else if (measured < connected.size())
        caption += platform::tr("部分接口读数可用");
    else
        caption += platform::tr("接口合计");
    if (accounted > 0) caption += std::string(" · ") + platform::tr("含设备自报");
    overview_->update(format(total, 1, "W"), caption,
                      errorStands ? platform::tr(snapshot_.error->c_str()) : status.message, state);

    // 5.
    footnote_->update(trend.message, trend.falling);

    // 6.
    for (const PortReading* port : connected) {
        const PortReading& reading = *port;
        const auto view = portViews_.find(reading.port);
        if (view == portViews_.end()) continue;
        IndicatorState portState = IndicatorState::unavailable;
        if (reading.watts && std::isfinite(*reading.watts) && *reading.watts >= 0) {
            if (iPadPort && iPadPort->port == reading.port && state != IndicatorState::unavailable)
                portState = state;
            else
                portState = *reading.watts < boundary ? IndicatorState::low : IndicatorState::normal;
        }
        view->second->update(
            joined(reading.devices, platform::tr("、")),
            reading.watts ? format(reading.watts, 1, "W")
                          : std::string(reading.name ? platform::tr("无读数") : platform::tr("等待读数")),
            portTitle(reading) + " · " + batteryDescription(reading), electricalText(reading), portState);
    }

    // 7 and 9, reported to the desktop as one change.
    if (statusItem_) {
        platform::StatusItem::Changes changes(*statusItem_);
        statusItem_->setImage(icons().at(state));
        const bool compact = mode_ == "icon";
        statusItem_->setLength(compact ? std::optional<double>(compactItemWidth_) : std::nullopt);
        statusItem_->setImagePosition(compact ? platform::ImagePosition::imageOnly : platform::ImagePosition::imageLeading);
        const std::string modeText =
            statusModeText({mode_, errorStands, iPadPort, connected, total, measured < connected.size()});
        statusItem_->setTitle(modeText.empty() ? std::string() : " " + modeText);
        statusItem_->setToolTip(statusText + "\n" + trend.message + statusLegend(boundary));
        statusItem_->setAccessibilityLabel(statusText);
        statusItem_->setVisible(hasDevices);
    }

    // 8.
    for (const auto& item : displayChoices_) {
        const auto* value = std::any_cast<std::string>(&item->representedObject());
        item->setState(value && *value == mode_ ? platform::CheckState::on : platform::CheckState::off);
    }
    for (const auto& item : thresholdChoices_) {
        const auto* value = std::any_cast<double>(&item->representedObject());
        item->setState(value && *value == boundary ? platform::CheckState::on : platform::CheckState::off);
    }
}

}  // namespace ampwell
