#pragma once

#include "platform/Platform.hpp"
#include "platform/desktop/Desktop.hpp"
#include "platform/desktop/headless/HeadlessAlertPresenter.hpp"
#include "platform/desktop/headless/HeadlessApplication.hpp"
#include "platform/desktop/headless/HeadlessEventStream.hpp"
#include "platform/desktop/headless/HeadlessNotificationCenter.hpp"
#include "platform/desktop/headless/HeadlessStatusBar.hpp"
#include "platform/desktop/headless/HeadlessUser.hpp"

#include <iosfwd>
#include <optional>
#include <string>

namespace ampwell::platform::headless {

// The desktop without a screen, on any platform: it records everything the controller shows and
// tells it, with the machine's own side effects, as one event stream (readable lines on `out`, JSON
// lines appended to `logPath` when given). The person in front of it is the platform's user script
// (answers, notification permission, timed actions); without one, every alert gets its first
// button, notifications start "notDetermined" and a request is granted. Main thread only; the
// platform must outlive the desktop.
class HeadlessDesktop final : public Desktop {
public:
    // Throws EventLogError when `logPath` cannot be opened for appending.
    HeadlessDesktop(Platform& platform, std::ostream& out, std::optional<std::string> logPath = std::nullopt);
    ~HeadlessDesktop() override;
    HeadlessDesktop(const HeadlessDesktop&) = delete;
    HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

    Application& application() override { return application_; }
    StatusBar& statusBar() override { return statusBar_; }
    AlertPresenter& alerts() override { return alerts_; }
    NotificationCenter& notificationCenter() override { return notifications_; }

    EventStream& events() { return events_; }
    HeadlessStatusBar& headlessStatusBar() { return statusBar_; }
    HeadlessNotificationCenter& headlessNotificationCenter() { return notifications_; }
    HeadlessUser& user() { return user_; }

private:
    Platform& platform_;
    UserScript script_;  // the platform's, or the defaults
    HeadlessEventStream events_;
    HeadlessApplication application_;
    HeadlessStatusBar statusBar_;
    HeadlessAlertPresenter alerts_;
    HeadlessNotificationCenter notifications_;
    HeadlessUser user_;
};

}  // namespace ampwell::platform::headless
