#include "platform/linux/refresh/LinuxRefreshListener.hpp"

#include "contract/RefreshWire.hpp"
#include "platform/base/FileDescriptor.hpp"
#include "platform/linux/refresh/ListenerConnection.hpp"
#include "platform/linux/refresh/ReplyBox.hpp"

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
namespace {

using SteadyClock = ListenerConnection::Clock;

// Connections taken from one listening socket before the others are served again: a peer that
// reconnects as fast as it can must not keep the listener from requests it has already read.
constexpr int kAcceptsPerRound = 16;

}  // namespace

struct LinuxRefreshListener::State {
    State(const std::vector<int>& sockets, Options options) : options(std::move(options)) {
        for (const int socket : sockets) listening.emplace_back(socket);
    }

    void run(PeerExecutableVerifier& verifier);
    void acceptAll(PeerExecutableVerifier& verifier);
    std::optional<pid_t> admit(int fd, PeerExecutableVerifier& verifier);
    void readFrom(std::uint64_t id, ListenerConnection& connection, short revents);
    void deliver(const std::vector<ReplyBox::Reply>& replies);
    void close(std::uint64_t id);
    void closeEndedConnectionsOf(pid_t peer);

    std::vector<FileDescriptor> listening;
    const Options options;
    RefreshListenerDelegate* delegate = nullptr;
    std::optional<CodeRequirement> requirement;
    std::shared_ptr<ReplyBox> box = std::make_shared<ReplyBox>();
    std::atomic<bool> stopping{false};

    std::map<std::uint64_t, ListenerConnection> connections;  // listener thread only
    std::atomic<std::size_t> openCount{0};
    std::uint64_t nextConnectionID = 1;
    std::map<pid_t, std::size_t> perPeer;  // open connections by peer process
};

LinuxRefreshListener::LinuxRefreshListener(std::vector<int> listeningSockets)
    : LinuxRefreshListener(std::move(listeningSockets), Options{}) {}

LinuxRefreshListener::LinuxRefreshListener(std::vector<int> listeningSockets, Options options)
    : state_(std::make_shared<State>(std::move(listeningSockets), options)), verifier_(options.procRoot) {}

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
    }
    thread_ = std::thread([state = state_, this] { state->run(verifier_); });
}

std::size_t LinuxRefreshListener::openConnectionCount() const { return state_->openCount.load(); }

void LinuxRefreshListener::State::run(PeerExecutableVerifier& verifier) {
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
            if (!connection.inputEnded && connection.outstanding() < options.maxPendingPerConnection) events |= POLLIN;
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

        if (polled[0].revents & POLLIN) deliver(box->take());
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
            if (polled[1 + i].revents & POLLIN) acceptAll(verifier);

        const auto later = SteadyClock::now();
        for (auto it = connections.begin(); it != connections.end();) {
            auto next = std::next(it);
            if (it->second.due(later)) close(it->first);
            it = next;
        }
    }
}

void LinuxRefreshListener::State::acceptAll(PeerExecutableVerifier& verifier) {
    for (const FileDescriptor& socket : listening) {
        for (int taken = 0; taken < kAcceptsPerRound && connections.size() < options.maxConnections; ++taken) {
            FileDescriptor fd(::accept4(socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd) break;
            const auto peer = admit(fd.get(), verifier);
            if (!peer) continue;
            ++perPeer[*peer];
            ListenerConnection connection;
            connection.fd = std::move(fd);
            connection.peer = *peer;
            const auto now = SteadyClock::now();
            connection.idleDeadline = now + options.requestWindow;
            connection.endOfLife = now + options.lifetime;
            connections.emplace(nextConnectionID++, std::move(connection));
            openCount = connections.size();
        }
    }
}

std::optional<pid_t> LinuxRefreshListener::State::admit(int fd, PeerExecutableVerifier& verifier) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
        return std::nullopt;
    const RefreshPeer peer{static_cast<std::uint32_t>(credentials.uid), static_cast<std::int32_t>(credentials.pid)};
    if (!delegate->shouldAcceptNewConnection(peer)) return std::nullopt;
    // Counted before the executable is checked: a process over its share costs no digest.
    if (perPeer.contains(credentials.pid) && perPeer[credentials.pid] >= options.maxConnectionsPerPeer)
        closeEndedConnectionsOf(credentials.pid);
    if (perPeer.contains(credentials.pid) && perPeer[credentials.pid] >= options.maxConnectionsPerPeer)
        return std::nullopt;
    if (requirement && !verifier.satisfies(credentials.pid, *requirement)) return std::nullopt;
    return credentials.pid;
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
    const ssize_t count = ::recv(connection.fd.get(), buffer, std::min(sizeof buffer, room), MSG_DONTWAIT);
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
    const std::size_t complete = connection.reader.feed({buffer, static_cast<std::size_t>(count)});
    if (connection.reader.isMalformed()) {
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

// A client that connects again right after its last reply may be quicker than the listener is to
// notice that the last connection ended; those connections must not count against it.
void LinuxRefreshListener::State::closeEndedConnectionsOf(pid_t peer) {
    std::vector<std::uint64_t> ended;
    for (const auto& [id, connection] : connections) {
        if (connection.peer != peer || !connection.idle()) continue;
        pollfd polled{connection.fd.get(), POLLRDHUP, 0};
        if (::poll(&polled, 1, 0) == 1 && (polled.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) ended.push_back(id);
    }
    for (const std::uint64_t id : ended) close(id);
}

}  // namespace ampwell::platform::linux_
