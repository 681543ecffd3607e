#include "app/entry/FirstRunNote.hpp"

#include "platform/base/Translation.hpp"

namespace ampwell {

std::optional<std::string> firstRunNote(const Snapshot& snapshot) {
    if (!snapshot.ports.empty()) return std::nullopt;
    // The reason the computer gave for having no port readings, else that no USB-C port had one.
    const std::string ports =
        snapshot.error ? platform::tr(snapshot.error->c_str()) : platform::tr("没有 USB-C 接口读数");
    return platform::trFormat(
               "Ampwell 正在运行，但没有找到可显示的内容：{}；没有接入的 USB 设备，也没有 iPad 或 iPhone。", ports) +
           "\n" +
           platform::tr("接入设备后，Ampwell 的图标才会出现。按 Ctrl+C 退出，或在它的菜单中选择“退出 Ampwell”。") +
           "\n" + platform::tr("想先看看它的样子，可以在模拟的电脑上运行（在源代码目录中）：") +
           "\n  AMPWELL_SIMULATION=examples/desk.json AMPWELL_UI=headless ampwell\n";
}

}  // namespace ampwell
