#include "platform/desktop/headless/HeadlessEventStream.hpp"

#include "platform/desktop/headless/HeadlessEventText.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace ampwell::platform::headless {

HeadlessEventStream::HeadlessEventStream(const Clock& clock, std::ostream& out, std::optional<std::string> logPath,
                                         ShortcutStyle shortcuts)
    : clock_(clock), out_(out), shortcuts_(shortcuts) {
    if (!logPath) return;
    logFd_ = FileDescriptor::open(*logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (!logFd_) throw EventLogError(*logPath + ": cannot be opened for appending: " + std::strerror(errno));
}

void HeadlessEventStream::emit(const std::string& event, const nlohmann::json& fields) {
    const Date now = clock_.now();
    out_ << eventLine(now, event, fields, shortcuts_) << '\n' << std::flush;
    if (!logFd_) return;

    nlohmann::json record = fields.is_object() ? fields : nlohmann::json::object();
    record["event"] = event;
    record["time"] = secondsSince1970(now);
    // Text that is not UTF-8 is replaced rather than allowed to stop the record.
    const std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::write(logFd_.get(), line.data() + written, line.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return;
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace ampwell::platform::headless
