#include "platform/linux/refresh/LinuxRefreshListenerState.hpp"

#include <poll.h>
#include <sys/socket.h>

#include <fcntl.h>

// Linux 6.5 and later give the peer's pidfd; older headers do not name it.
#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

namespace ampwell::platform::linux_ {
namespace {

using SteadyClock = ListenerConnection::Clock;

// Connections taken from one listening socket before the others are served again: a peer that
// reconnects as fast as it can must not keep the listener from requests it has already read.
constexpr int kAcceptsPerRound = 16;

}  // namespace

void LinuxRefreshListener::State::acceptAll() {
    for (const FileDescriptor& socket : listening) {
        for (int taken = 0; taken < kAcceptsPerRound && connections.size() < options.maxConnections; ++taken) {
            FileDescriptor fd(::accept4(socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd) break;
            auto connection = admit(std::move(fd));
            if (!connection) continue;
            ++perPeer[connection->peer];
            const auto now = SteadyClock::now();
            connection->idleDeadline = now + options.requestWindow;
            connection->endOfLife = now + options.lifetime;
            connections.emplace(nextConnectionID++, std::move(*connection));
            openCount = connections.size();
        }
    }
}

std::optional<ListenerConnection> LinuxRefreshListener::State::admit(FileDescriptor fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
        return std::nullopt;
    const pid_t pid = credentials.pid;
    const RefreshPeer peer{static_cast<std::uint32_t>(credentials.uid), static_cast<std::int32_t>(pid)};
    const std::uint32_t uid = peer.effectiveUserID;
    if (!delegate->shouldAcceptNewConnection(peer)) {
        refusals.refused(uid, pid, "not the allowed user");
        return std::nullopt;
    }
    // Counted before the executable is checked: a process over its share costs no digest.
    if (perPeer.contains(pid) && perPeer[pid] >= options.maxConnectionsPerPeer) closeEndedConnectionsOf(pid);
    if (perPeer.contains(pid) && perPeer[pid] >= options.maxConnectionsPerPeer) {
        refusals.refused(uid, pid, "the process holds as many connections as it may");
        return std::nullopt;
    }
    ListenerConnection connection;
    connection.fd = std::move(fd);
    connection.peer = pid;
    connection.userID = uid;
    // Each request then carries the ID of the process that wrote it.
    const int on = 1;
    if (::setsockopt(connection.fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) return std::nullopt;
    int peerPidfd = -1;
    socklen_t pidfdLength = sizeof peerPidfd;
    // A kernel without it refuses the option; the pidfd is then opened by process ID.
    if (::getsockopt(connection.fd.get(), SOL_SOCKET, SO_PEERPIDFD, &peerPidfd, &pidfdLength) != 0) peerPidfd = -1;
    const FileDescriptor fromSocket(peerPidfd);
    if (!requirement) return connection;
    auto inspection = verifier->inspect(pid, *requirement, fromSocket.get());
    if (inspection.pidfd) connection.peerPidfd = FileDescriptor(::fcntl(inspection.pidfd.get(), F_DUPFD_CLOEXEC, 3));
    connection.executable = inspection.status;
    switch (inspection.verdict) {
    case PeerExecutableVerifier::Verdict::refused:
        refusals.refused(uid, pid, "its executable is not the allowed client");
        return std::nullopt;
    case PeerExecutableVerifier::Verdict::accepted: return connection;
    case PeerExecutableVerifier::Verdict::needsDigest:
        // One executable hashed at a time per process: more connections of a process whose
        // executable is being read wait, unread, until that hash is known.
        connection.verifying = true;
        if (hashing.insert(pid).second)
            checkInBackground(nextConnectionID, pid, std::move(inspection));
        else
            connection.awaitingHash = true;
        return connection;
    }
    return std::nullopt;
}

void LinuxRefreshListener::State::checkInBackground(std::uint64_t id, pid_t peer,
                                                    PeerExecutableVerifier::Inspection inspection) {
    auto shared = std::make_shared<PeerExecutableVerifier::Inspection>(std::move(inspection));
    hasher->async([weak = weak_from_this(), shared, id, peer, verifier = verifier, requirement = *requirement] {
        const bool passed = verifier->finish(*shared, requirement);
        auto state = weak.lock();
        if (!state) return;
        {
            std::lock_guard lock(state->checkedMutex);
            state->checked.push_back({id, peer, passed});
        }
        state->box->wake();
    });
}

void LinuxRefreshListener::State::takeChecked() {
    std::vector<Checked> results;
    {
        std::lock_guard lock(checkedMutex);
        results = std::exchange(checked, {});
    }
    for (const auto& [id, peer, passed] : results) {
        hashing.erase(peer);
        auto found = connections.find(id);
        if (found != connections.end()) {
            if (passed) {
                found->second.verifying = false;
            } else {
                refusals.refused(found->second.userID, peer, "its executable is not the allowed client");
                close(id);
            }
        }
        checkWaitingConnectionsOf(peer);
    }
}

// The process may have executed another program since: each waiting connection is inspected
// afresh, most often answered from the digest just kept, and the first that needs a hash of its
// own gets the process's turn.
void LinuxRefreshListener::State::checkWaitingConnectionsOf(pid_t peer) {
    std::vector<std::uint64_t> refused;
    for (auto& [id, connection] : connections) {
        if (connection.peer != peer || !connection.awaitingHash) continue;
        connection.awaitingHash = false;
        auto inspection = verifier->inspect(peer, *requirement, connection.peerPidfd.get());
        connection.executable = inspection.status;
        if (inspection.verdict == PeerExecutableVerifier::Verdict::refused) {
            refusals.refused(connection.userID, peer, "its executable is not the allowed client");
            refused.push_back(id);
        } else if (inspection.verdict == PeerExecutableVerifier::Verdict::accepted) {
            connection.verifying = false;
        } else {
            hashing.insert(peer);
            checkInBackground(id, peer, std::move(inspection));
            break;
        }
    }
    for (const std::uint64_t id : refused) close(id);
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
