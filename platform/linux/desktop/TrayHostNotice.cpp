#include "platform/linux/desktop/TrayHostNotice.hpp"
#include "platform/base/Translation.hpp"

#include <glib.h>

namespace ampwell::platform::linux_ {

namespace {

// XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME", "GNOME-Classic:GNOME").
bool isGnome(const std::string& currentDesktop) {
    g_auto(GStrv) names = g_strsplit(currentDesktop.c_str(), ":", -1);
    for (gchar** name = names; *name; ++name)
        if (g_str_has_prefix(*name, "GNOME")) return true;
    return false;
}

}  // namespace

TrayHostNotice::TrayHostNotice(GDBusConnection* connection, std::string currentDesktop, unsigned graceMilliseconds)
    : notifications_(connection, "Ampwell", "ampwell", "ampwell"), currentDesktop_(std::move(currentDesktop)) {
    timer_ = g_timeout_add(
        graceMilliseconds,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<TrayHostNotice*>(data);
            self->timer_ = 0;
            self->graceOver();
            return G_SOURCE_REMOVE;
        },
        this);
}

TrayHostNotice::~TrayHostNotice() {
    if (timer_) g_source_remove(timer_);
}

void TrayHostNotice::registrationChanged(bool registered) {
    if (!registered) return;
    everRegistered_ = true;
    if (told_) notifications_.withdraw(kTag);
}

void TrayHostNotice::graceOver() {
    if (everRegistered_ || told_) return;
    told_ = true;
    notifications_.post(message(currentDesktop_));
}

DesktopNotification TrayHostNotice::message(const std::string& currentDesktop) {
    DesktopNotification notice;
    notice.tag = kTag;
    // Stays until the user closes it, or until a host appears after all and it is withdrawn.
    notice.waitsForAnswer = true;
    notice.title = platform::tr("Ampwell 的图标无法显示：没有系统托盘");
    if (isGnome(currentDesktop)) {
        notice.body = platform::tr(
            "GNOME 需要 AppIndicator 扩展才能显示托盘图标。安装 gnome-shell-extension-appindicator 软件包，"
            "运行 gnome-extensions enable ubuntu-appindicators@ubuntu.com（或在“扩展”应用中打开"
            "“AppIndicator and KStatusNotifierItem Support”），然后注销并重新登录。"
            "图标会在托盘出现后自动显示；供电提醒照常发送。");
    } else {
        notice.body = platform::tr(
            "桌面面板上没有状态通知区域（StatusNotifierItem 托盘）。请在面板中添加“状态托盘”或“系统托盘”"
            "插件（Xfce：状态托盘插件；LXQt：状态通知器；waybar：tray 模块）。"
            "图标会在托盘出现后自动显示；供电提醒照常发送。");
    }
    return notice;
}

}  // namespace ampwell::platform::linux_
