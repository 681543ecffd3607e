#include "app/ui/AppDelegate.hpp"
#include "platform/base/Translation.hpp"

#include <utility>

namespace ampwell {

namespace {

std::vector<std::string> splitKeepingEmpty(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

void AppDelegate::confirmReset(platform::MenuItem& sender) {
    const auto* listed = std::any_cast<USBResetTarget>(&sender.representedObject());
    if (!listed) return;
    // A copy: the menu may be rebuilt while the alert is up, and the reset must act on the
    // device exactly as it was listed.
    const USBResetTarget target = *listed;
    runAlert({platform::trFormat("要重置 {} 的 USB 连接吗？", target.productName),
              target.isHub ? platform::tr("这会短暂中断所选设备及其下游设备的 USB 数据连接，并重新识别设备。"
                                          "不一定切断供电，也不保证提高充电功率。")
                           : platform::tr("这会短暂中断所选设备的 USB 数据连接，并重新识别设备。"
                                          "不一定切断供电，也不保证提高充电功率。"),
              {platform::tr("重置此连接"), platform::tr("取消")}},
             [weak = weakSelf(), target](std::size_t answer) {
                 const auto self = weak.lock();
                 if (!self || answer != 0) return;
                 self->startReset(target.productName,
                                  [raw = self.get(), target] { return raw->resetter_.reset(target); });
             });
}

void AppDelegate::performReset(const std::string& serial, const std::string& connectionID) {
    if (resetRunning_) return;
    const std::vector<std::string> pieces = splitKeepingEmpty(connectionID, ':');
    bool valid = pieces.size() == 2 && pieces[0] == bootIdentity_.text() && !pieces[1].empty();
    if (valid) {
        // The notification may be old: the device must still be here, on the very same connection.
        const Snapshot current = telemetry_.read();
        const std::string wanted = normalizedSerial(serial);
        bool found = false;
        for (const auto& reading : current.ports)
            for (const auto& device : reading.connections)
                found = found || (normalizedSerial(device.serial) == wanted && device.connectionID == connectionID);
        valid = found;
    }
    if (!valid) {
        runAlert({platform::tr("iPad 的连接已改变"),
                  platform::tr("这条提醒对应旧的连接，未重置设备。请重新打开菜单后再试。"),
                  {platform::tr("知道了")}});
        return;
    }
    startReset("iPad", [this, serial, session = pieces[1]] { return resetter_.resetIPad(serial, session); });
}

void AppDelegate::startReset(const std::string& deviceName, std::function<ResetResult()> operation) {
    if (resetRunning_) return;
    resetRunning_ = true;
    // The job keeps the controller (and so the resetter it uses) alive until the result is back.
    resetQueue_.async([self = shared_from_this(), deviceName = std::string(deviceName),
                       operation = std::move(operation)]() mutable {
        ResetResult result = operation();
        auto& queue = self->mainQueue_;
        queue.post([self = std::move(self), deviceName = std::move(deviceName), result = std::move(result)] {
            self->resetRunning_ = false;
            self->batteries_.clear();
            self->refresh(true, true, std::nullopt, "update");
            if (result.succeeded())
                self->runAlert({platform::trFormat("已发送 {} USB 重置请求", deviceName),
                                platform::tr("正在重新读取连接和供电信息。USB 重置不保证供电档位会改变。"),
                                {platform::tr("知道了")}});
            else
                self->runAlert(
                    {platform::trFormat("未能重置 {} USB", deviceName),
                     result.error()->errorDescription() + "\n" + platform::tr("可以手动重新插拔所选设备的线缆。"),
                     {platform::tr("知道了")}});
        });
    });
}

}  // namespace ampwell
