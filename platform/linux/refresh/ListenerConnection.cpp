#include "platform/linux/refresh/ListenerConnection.hpp"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

ssize_t ListenerConnection::receive(std::uint8_t* buffer, std::size_t size, pid_t& writer) {
    iovec vector{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    writer = 0;
    // With SO_PASSCRED the kernel never joins bytes of different writers in one read.
    const ssize_t count = ::recvmsg(fd.get(), &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); count > 0 && header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_CREDENTIALS) continue;
        ucred credentials{};
        std::memcpy(&credentials, CMSG_DATA(header), sizeof credentials);
        writer = credentials.pid;
    }
    return count;
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
