#include "platform/linux/refresh/LinuxRefreshListener.hpp"

#include "contract/RefreshWire.hpp"
#include "platform/base/FileDescriptor.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace ampwell::platform::linux_ {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Where replies given on other threads wait for the listener's thread. Shared with every reply
// callback, so a reply given after the listener has ended goes nowhere harmlessly.
struct ReplyBox {
    struct Reply {
        std::uint64_t connection;
        std::uint64_t sequence;
        std::uint32_t status;
    };

    ReplyBox() : wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd.get(), &one, sizeof one);
    }
    void put(Reply reply) {
        {
            std::lock_guard lock(mutex);
            replies.push_back(reply);
        }
        wake();
    }
    std::vector<Reply> take() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(wakeFd.get(), &count, sizeof count);
        std::lock_guard lock(mutex);
        return std::exchange(replies, {});
    }

    const FileDescriptor wakeFd;
    std::mutex mutex;
    std::vector<Reply> replies;
};

struct Connection {
    FileDescriptor fd;
    RefreshWire::RequestReader reader;
    std::uint64_t nextSequence = 0;  // of the next request read
    std::uint64_t nextToSend = 0;    // of the next reply to write
    std::map<std::uint64_t, std::uint32_t> ready;  // replies that arrived ahead of their turn
    std::string output;
    bool inputEnded = false;
    SteadyClock::time_point deadline;

    std::size_t unanswered() const { return static_cast<std::size_t>(nextSequence - nextToSend); }
};

}  // namespace

struct LinuxRefreshListener::State {
    State(const std::vector<int>& sockets, Options options) : options(std::move(options)) {
        for (const int socket : sockets) listening.emplace_back(socket);
    }

    void run(PeerExecutableVerifier& verifier);
    void acceptAll(PeerExecutableVerifier& verifier);
    bool admit(int fd, PeerExecutableVerifier& verifier);
    void readFrom(std::uint64_t id, Connection& connection, short revents);
    void deliver(const std::vector<ReplyBox::Reply>& replies);
    bool flush(Connection& connection);
    void close(std::uint64_t id);

    std::vector<FileDescriptor> listening;
    const Options options;
    RefreshListenerDelegate* delegate = nullptr;
    std::optional<CodeRequirement> requirement;
    std::shared_ptr<ReplyBox> box = std::make_shared<ReplyBox>();
    std::atomic<bool> stopping{false};

    std::map<std::uint64_t, Connection> connections;  // listener thread only
    std::atomic<std::size_t> openCount{0};
    std::uint64_t nextConnectionID = 1;
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
        polled.push_back({box->wakeFd.get(), POLLIN, 0});
        const bool roomForMore = connections.size() < options.maxConnections;
        for (const FileDescriptor& socket : listening)
            polled.push_back({socket.get(), static_cast<short>(roomForMore ? POLLIN : 0), 0});
        const auto now = SteadyClock::now();
        auto nextDeadline = SteadyClock::time_point::max();
        for (auto& [id, connection] : connections) {
            short events = 0;
            if (!connection.inputEnded && connection.unanswered() < options.maxPendingPerConnection) events |= POLLIN;
            if (!connection.output.empty()) events |= POLLOUT;
            // A connection whose input has ended and that has nothing to write waits for its
            // replies without being polled (poll would report its hang-up again and again).
            polled.push_back({events != 0 ? connection.fd.get() : -1, events, 0});
            polledIDs.push_back(id);
            if (connection.unanswered() == 0) nextDeadline = std::min(nextDeadline, connection.deadline);
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
            if (entry.revents & POLLOUT && !flush(found->second)) {
                close(found->first);
                continue;
            }
            if (entry.revents & (POLLIN | POLLHUP | POLLERR)) readFrom(found->first, found->second, entry.revents);
        }
        for (std::size_t i = 0; i < listening.size(); ++i)
            if (polled[1 + i].revents & POLLIN) acceptAll(verifier);

        // Connections that went quiet without anything unanswered give their place back.
        const auto later = SteadyClock::now();
        for (auto it = connections.begin(); it != connections.end();) {
            const auto& connection = it->second;
            const bool idle = connection.unanswered() == 0 && connection.output.empty();
            auto next = std::next(it);
            if (idle && (connection.inputEnded || later >= connection.deadline)) close(it->first);
            it = next;
        }
    }
}

void LinuxRefreshListener::State::acceptAll(PeerExecutableVerifier& verifier) {
    for (const FileDescriptor& socket : listening) {
        while (connections.size() < options.maxConnections) {
            FileDescriptor fd(::accept4(socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!fd) break;
            if (!admit(fd.get(), verifier)) continue;
            Connection connection;
            connection.fd = std::move(fd);
            connection.deadline = SteadyClock::now() + options.requestWindow;
            connections.emplace(nextConnectionID++, std::move(connection));
            openCount = connections.size();
        }
    }
}

bool LinuxRefreshListener::State::admit(int fd, PeerExecutableVerifier& verifier) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
        return false;
    const RefreshPeer peer{static_cast<std::uint32_t>(credentials.uid), static_cast<std::int32_t>(credentials.pid)};
    if (!delegate->shouldAcceptNewConnection(peer)) return false;
    return !requirement || verifier.satisfies(credentials.pid, *requirement);
}

void LinuxRefreshListener::State::readFrom(std::uint64_t id, Connection& connection, short revents) {
    std::uint8_t buffer[64];
    // Never read more requests than may still be outstanding, so a flood on one connection waits
    // in the socket instead of in memory.
    const std::size_t room = (options.maxPendingPerConnection - connection.unanswered()) * RefreshWire::kRequestSize -
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
        if (connection.unanswered() == 0 && connection.output.empty()) close(id);
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
    for (const auto& reply : replies) {
        auto found = connections.find(reply.connection);
        if (found == connections.end()) continue;
        Connection& connection = found->second;
        connection.ready.emplace(reply.sequence, reply.status);
        for (auto next = connection.ready.find(connection.nextToSend); next != connection.ready.end();
             next = connection.ready.find(connection.nextToSend)) {
            const auto frame = RefreshWire::encodeReply(next->second);
            connection.output.append(frame.begin(), frame.end());
            connection.ready.erase(next);
            ++connection.nextToSend;
        }
        if (connection.unanswered() == 0) connection.deadline = SteadyClock::now() + options.requestWindow;
        if (!flush(connection)) close(found->first);
    }
}

bool LinuxRefreshListener::State::flush(Connection& connection) {
    while (!connection.output.empty()) {
        const ssize_t sent = ::send(connection.fd.get(), connection.output.data(), connection.output.size(),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        connection.output.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

void LinuxRefreshListener::State::close(std::uint64_t id) {
    auto found = connections.find(id);
    if (found == connections.end()) return;
    connections.erase(found);
    openCount = connections.size();
}

}  // namespace ampwell::platform::linux_
