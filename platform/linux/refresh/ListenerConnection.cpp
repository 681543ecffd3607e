#include "platform/linux/refresh/ListenerConnection.hpp"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace ampwell::platform::linux_ {

std::size_t ListenerConnection::outstanding() const {
    return unanswered() + (output.size() + RefreshWire::kReplySize - 1) / RefreshWire::kReplySize;
}

ListenerConnection::Clock::time_point ListenerConnection::closesAt() const {
    auto at = endOfLife;
    if (!output.empty()) at = std::min(at, outputDeadline);
    if (idle()) at = std::min(at, idleDeadline);
    return at;
}

void ListenerConnection::queueReadyReplies(Clock::time_point now, std::chrono::milliseconds requestWindow) {
    const bool wasEmpty = output.empty();
    for (auto next = ready.find(nextToSend); next != ready.end(); next = ready.find(nextToSend)) {
        const auto frame = RefreshWire::encodeReply(next->second);
        output.append(frame.begin(), frame.end());
        ready.erase(next);
        ++nextToSend;
    }
    if (wasEmpty && !output.empty()) outputDeadline = now + requestWindow;
    if (unanswered() == 0) idleDeadline = now + requestWindow;
}

bool ListenerConnection::flush() {
    while (!output.empty()) {
        const ssize_t sent = ::send(fd.get(), output.data(), output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        output.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace ampwell::platform::linux_
