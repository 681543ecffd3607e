#include "platform/linux/refresh/LinuxRefreshListener.hpp"

#include "contract/RefreshWire.hpp"
#include "platform/base/FileDescriptor.hpp"
#include "platform/linux/refresh/LinuxRefreshListenerState.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <utility>

namespace ampwell::platform::linux_ {

using SteadyClock = ListenerConnection::Clock;

LinuxRefreshListener::LinuxRefreshListener(std::vector<int> listeningSockets)
    : LinuxRefreshListener(std::move(listeningSockets), Options{}) {}

LinuxRefreshListener::LinuxRefreshListener(std::vector<int> listeningSockets, Options options)
    : state_(std::make_shared<State>(std::move(listeningSockets), options)),
      verifier_(options.procRoot, options.trustedOwnersOnly),
      hasher_("ampwelld.peer-digest", clock_) {}

LinuxRefreshListener::~LinuxRefreshListener() {
    state_->stopping = true;
    state_->box->wake();
    if (thread_.joinable()) thread_.join();
}

void LinuxRefreshListener::setDelegate(RefreshListenerDelegate* delegate) { state_->delegate = delegate; }

void LinuxRefreshListener::setConnectionCodeSigningRequirement(const CodeRequirement& requirement) {
    state_->requirement = requirement;
}

void LinuxRefreshListener::resume() {
    if (thread_.joinable() || !state_->delegate) return;
    for (const FileDescriptor& socket : state_->listening) {
        const int flags = ::fcntl(socket.get(), F_GETFL);
        if (flags >= 0) ::fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK);
        // Set on the listening socket, the option passes to each accepted one as accept() returns
        // it. Set only afterwards, a request the client wrote between the two would arrive
        // without its writer's credentials (as if from process 0) and be refused.
        const int on = 1;
        ::setsockopt(socket.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
    }
    state_->verifier = &verifier_;
    state_->hasher = &hasher_;
    thread_ = std::thread([state = state_] { state->run(); });
}

std::size_t LinuxRefreshListener::openConnectionCount() const { return state_->openCount.load(); }

void LinuxRefreshListener::State::run() {
    std::vector<pollfd> polled;
    std::vector<std::uint64_t> polledIDs;
    while (!stopping) {
        polled.clear();
        polledIDs.clear();
        polled.push_back({box->wakeDescriptor(), POLLIN, 0});
        const bool roomForMore = connections.size() < options.maxConnections;
        for (const FileDescriptor& socket : listening)
            polled.push_back({socket.get(), static_cast<short>(roomForMore ? POLLIN : 0), 0});
        const auto now = SteadyClock::now();
        // Only times at which a connection is closed wake the loop: a time that passes without
        // closing anything would turn the wait into a spin.
        auto nextDeadline = SteadyClock::time_point::max();
        for (auto& [id, connection] : connections) {
            short events = 0;
            if (!connection.verifying && !connection.inputEnded &&
                connection.outstanding() < options.maxPendingPerConnection)
                events |= POLLIN;
            if (!connection.output.empty()) events |= POLLOUT;
            // A connection whose input has ended and that has nothing to write waits for its
            // replies without being polled (poll would report its hang-up again and again).
            polled.push_back({events != 0 ? connection.fd.get() : -1, events, 0});
            polledIDs.push_back(id);
            nextDeadline = std::min(nextDeadline, connection.closesAt());
        }
        int timeout = -1;
        if (nextDeadline != SteadyClock::time_point::max())
            timeout = static_cast<int>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(nextDeadline - now).count() + 1));
        if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
        if (stopping) break;

        if (polled[0].revents & POLLIN) {
            deliver(box->take());
            takeChecked();
        }
        for (std::size_t i = 0; i < polledIDs.size(); ++i) {
            const pollfd& entry = polled[1 + listening.size() + i];
            auto found = connections.find(polledIDs[i]);
            if (found == connections.end() || entry.revents == 0) continue;
            if (entry.revents & POLLOUT && !found->second.flush()) {
                close(found->first);
                continue;
            }
            if (entry.revents & (POLLIN | POLLHUP | POLLERR)) readFrom(found->first, found->second, entry.revents);
        }
        for (std::size_t i = 0; i < listening.size(); ++i)
            if (polled[1 + i].revents & POLLIN) acceptAll();

        const auto later = SteadyClock::now();
        for (auto it = connections.begin(); it != connections.end();) {
            auto next = std::next(it);
            if (it->second.due(later)) close(it->first);
            it = next;
        }
    }
}

void LinuxRefreshListener::State::readFrom(std::uint64_t id, ListenerConnection& connection, short revents) {
    std::uint8_t buffer[64];
    // Never read more requests than may still be outstanding, so a flood on one connection waits
    // in the socket instead of in memory.
    const std::size_t outstanding = connection.outstanding();
    const std::size_t room = outstanding >= options.maxPendingPerConnection
                                 ? 0
                                 : (options.maxPendingPerConnection - outstanding) * RefreshWire::kRequestSize -
                                       connection.reader.pendingBytes();
    if (room == 0) {
        if (revents & (POLLHUP | POLLERR)) connection.inputEnded = true;
        return;
    }
    pid_t writer = 0;
    const ssize_t count = connection.receive(buffer, std::min(sizeof buffer, room), writer);
    if (count < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        close(id);
        return;
    }
    if (count == 0) {
        connection.inputEnded = true;
        // A request cut off half-way is not a request.
        if (connection.idle()) close(id);
        return;
    }
    // Bytes written by another process than the one checked (one that was handed the socket or
    // shares it) are not the client's.
    if (writer != connection.peer) {
        refusals.refused(connection.userID, connection.peer,
                         "a request written by another process (pid " + std::to_string(writer) + ")");
        close(id);
        return;
    }
    const std::size_t complete = connection.reader.feed({buffer, static_cast<std::size_t>(count)});
    if (connection.reader.isMalformed()) {
        close(id);
        return;
    }
    // The process may have executed another program since it was checked.
    if (complete > 0 && requirement &&
        !verifier->runsSameExecutable(connection.peer, connection.peerPidfd.get(), connection.executable)) {
        refusals.refused(connection.userID, connection.peer, "it runs another executable than the one checked");
        close(id);
        return;
    }
    for (std::size_t i = 0; i < complete; ++i) {
        const std::uint64_t sequence = connection.nextSequence++;
        auto once = std::make_shared<std::atomic<bool>>(false);
        std::weak_ptr<ReplyBox> box = this->box;
        delegate->requestRefresh([box, once, id, sequence](std::uint32_t status) {
            if (once->exchange(true)) return;
            if (auto alive = box.lock()) alive->put({id, sequence, status});
        });
    }
}

void LinuxRefreshListener::State::deliver(const std::vector<ReplyBox::Reply>& replies) {
    const auto now = SteadyClock::now();
    for (const auto& reply : replies) {
        auto found = connections.find(reply.connection);
        if (found == connections.end()) continue;
        ListenerConnection& connection = found->second;
        connection.ready.emplace(reply.sequence, reply.status);
        connection.queueReadyReplies(now, options.requestWindow);
        if (!connection.flush()) close(found->first);
    }
}

void LinuxRefreshListener::State::close(std::uint64_t id) {
    auto found = connections.find(id);
    if (found == connections.end()) return;
    const auto held = perPeer.find(found->second.peer);
    if (held != perPeer.end() && --held->second == 0) perPeer.erase(held);
    connections.erase(found);
    openCount = connections.size();
}

}  // namespace ampwell::platform::linux_
