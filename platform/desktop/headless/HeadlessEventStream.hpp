#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/EventStream.hpp"
#include "platform/base/FileDescriptor.hpp"
#include "platform/desktop/KeyShortcut.hpp"

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>

namespace ampwell::platform::headless {

// The event log cannot be opened; the message is one line meant for the user.
class EventLogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the headless desktop shows instead of a screen: every event becomes one readable line on
// `out` (the time of day on the platform clock, then what a user would have seen), and, when a log
// path is given, one JSON line with sorted keys appended to that file, with "event" and "time"
// (seconds since 1970) added to the event's own fields. Each JSON line is written with a single
// append, so a reader never sees half a line. Main thread only.
class HeadlessEventStream final : public EventStream {
public:
    // Throws EventLogError when `logPath` is given and cannot be opened for appending.
    // `shortcuts`: how the readable lines write key equivalents.
    HeadlessEventStream(const Clock& clock, std::ostream& out, std::optional<std::string> logPath = std::nullopt,
                        ShortcutStyle shortcuts = ShortcutStyle::command);
    HeadlessEventStream(const HeadlessEventStream&) = delete;
    HeadlessEventStream& operator=(const HeadlessEventStream&) = delete;

    // A failed write to the log is dropped silently: the log never stops the application.
    void emit(const std::string& event, const nlohmann::json& fields) override;

private:
    const Clock& clock_;
    std::ostream& out_;
    FileDescriptor logFd_;
    ShortcutStyle shortcuts_;
};

}  // namespace ampwell::platform::headless
