#include "app/ui/SamplingTrace.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ampwell {

std::optional<std::string> SamplingTrace::pathFromArguments(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != kOption) continue;
        if (i + 1 < arguments.size()) return arguments[i + 1];
        return std::nullopt;
    }
    return std::nullopt;
}

std::unique_ptr<SamplingTrace> SamplingTrace::open(const std::string& path) {
    // O_APPEND keeps every record at the end even if another writer extends the file meanwhile.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return std::unique_ptr<SamplingTrace>(new SamplingTrace(fd));
}

SamplingTrace::~SamplingTrace() {
    if (fd_ >= 0) ::close(fd_);  // a closing error is of no use to anyone here
}

void SamplingTrace::write(nlohmann::json record, platform::Date now) {
    if (!record.is_object()) return;
    record["time"] = platform::secondsSince1970(now);
    std::string line;
    try {
        line = record.dump();
    } catch (const nlohmann::json::exception&) {
        return;  // text that is not UTF-8 cannot be written as JSON: drop the record
    }
    line.push_back('\n');
    // One write call per record, so a line is never split by another record; a short write of a
    // regular file only happens when the disk is full, and then the rest is dropped too.
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace ampwell
