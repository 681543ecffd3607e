#include "platform/linux/refresh/LinuxRefreshConnector.hpp"

#include "contract/PowerRefreshService.hpp"
#include "contract/RefreshWire.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace ampwell::platform::linux_ {
namespace {

enum class Outcome { reply, invalidated, interrupted, proxyError, ended };

constexpr int kConnectRetry = 20;  // milliseconds

class SocketRefreshConnection final : public RefreshConnection {
public:
    explicit SocketRefreshConnection(std::string path)
        : path_(std::move(path)), wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    ~SocketRefreshConnection() override {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        wake();
        if (worker_.joinable()) worker_.join();
        if (wakeFd_ >= 0) ::close(wakeFd_);
    }

    void setInvalidationHandler(std::function<void()> handler) override {
        std::lock_guard lock(mutex_);
        invalidation_ = std::move(handler);
    }
    void setInterruptionHandler(std::function<void()> handler) override {
        std::lock_guard lock(mutex_);
        interruption_ = std::move(handler);
    }
    void resume() override {}

    bool requestRefresh(std::function<void(std::uint32_t)> reply, std::function<void()> proxyError) override {
        std::unique_lock lock(mutex_);
        if (invalidated_ || worker_.joinable()) {
            // A connection carries one request. Another one cannot be delivered; after
            // invalidation nothing more is reported at all (the invalidation already was).
            const bool report = !invalidated_;
            lock.unlock();
            if (report && proxyError) proxyError();
            return true;
        }
        reply_ = std::move(reply);
        proxyError_ = std::move(proxyError);
        worker_ = std::thread([this] { run(); });
        return true;
    }

    void invalidate() override {
        std::function<void()> handler;
        {
            std::lock_guard lock(mutex_);
            if (invalidated_ || released_) return;
            invalidated_ = true;
            handler = std::exchange(invalidation_, nullptr);
        }
        wake();
        if (handler) handler();
    }

private:
    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }

    // Waits `milliseconds` unless the connection is ended first; true when it was ended.
    bool pauseUnlessEnded(int milliseconds) const {
        pollfd polled{wakeFd_, POLLIN, 0};
        return ::poll(&polled, 1, milliseconds) > 0;
    }

    // Waits until `fd` is ready for `events` or the connection is ended; false when ended.
    bool waitFor(int fd, short events) const {
        pollfd polled[2] = {{fd, events, 0}, {wakeFd_, POLLIN, 0}};
        for (;;) {
            if (::poll(polled, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (polled[1].revents != 0) return false;
            if (polled[0].revents != 0) return true;
        }
    }

    void run() {
        std::uint32_t status = 0;
        const Outcome outcome = exchange(status);
        std::function<void()> handler;
        std::function<void(std::uint32_t)> reply;
        {
            std::lock_guard lock(mutex_);
            if (released_ || invalidated_) return;
            switch (outcome) {
            case Outcome::reply: reply = std::exchange(reply_, nullptr); break;
            case Outcome::invalidated:
                invalidated_ = true;
                handler = std::exchange(invalidation_, nullptr);
                break;
            case Outcome::interrupted: handler = interruption_; break;
            case Outcome::proxyError: handler = std::exchange(proxyError_, nullptr); break;
            case Outcome::ended: return;
            }
        }
        // Called outside the lock; the destructor waits for this thread, so no handler runs once
        // the connection has been released.
        if (reply) reply(status);
        if (handler) handler();
    }

    Outcome exchange(std::uint32_t& status) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) return Outcome::invalidated;
        const Outcome outcome = exchangeOn(fd, status);
        ::close(fd);
        return outcome;
    }

    Outcome exchangeOn(int fd, std::uint32_t& status) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.size() >= sizeof address.sun_path) return Outcome::invalidated;
        std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
        // A Unix socket whose queue of waiting connections is full refuses at once (EAGAIN)
        // instead of connecting later: try again shortly, until the connection is ended.
        while (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return Outcome::invalidated;
            if (pauseUnlessEnded(kConnectRetry)) return Outcome::ended;
        }
        const auto request = RefreshWire::encodeRequest();
        std::size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t count = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (count > 0) {
                sent += static_cast<std::size_t>(count);
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!waitFor(fd, POLLOUT)) return Outcome::ended;
            } else if (errno != EINTR) {
                // The daemon closed the connection before the request was out: refused.
                return errno == EPIPE || errno == ECONNRESET ? Outcome::invalidated : Outcome::proxyError;
            }
        }
        RefreshWire::ReplyFrame frame{};
        std::size_t received = 0;
        while (received < frame.size()) {
            if (!waitFor(fd, POLLIN)) return Outcome::ended;
            const ssize_t count = ::recv(fd, frame.data() + received, frame.size() - received, 0);
            if (count > 0) {
                received += static_cast<std::size_t>(count);
            } else if (count == 0) {
                return received == 0 ? Outcome::invalidated : Outcome::proxyError;
            } else if (errno == ECONNRESET && received == 0) {
                // Closed with our request unread: the daemon refused the connection.
                return Outcome::invalidated;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return Outcome::interrupted;
            }
        }
        status = RefreshWire::decodeReply(frame);
        return Outcome::reply;
    }

    const std::string path_;
    const int wakeFd_;
    std::mutex mutex_;
    std::function<void()> invalidation_;
    std::function<void()> interruption_;
    std::function<void(std::uint32_t)> reply_;
    std::function<void()> proxyError_;
    bool invalidated_ = false;
    bool released_ = false;
    std::thread worker_;
};

}  // namespace

LinuxRefreshConnector::LinuxRefreshConnector(std::string socketPath) : socketPath_(std::move(socketPath)) {}

std::string LinuxRefreshConnector::socketPathFromEnvironment() {
    const char* path = std::getenv(RefreshWire::kSocketPathVariable);
    return path != nullptr && *path != '\0' ? path : RefreshWire::kDefaultSocketPath;
}

std::unique_ptr<RefreshConnection> LinuxRefreshConnector::connect(const std::string&, std::uint64_t) {
    return std::make_unique<SocketRefreshConnection>(socketPath_);
}

RefreshInstallation linuxRefreshInstallation() {
    const auto paths = PowerRefreshService::linuxInstalledPaths();
    return RefreshInstallation{paths.helperPath, paths.launchDaemonPath, PowerRefreshService::isProtectedRegularFile, true};
}

}  // namespace ampwell::platform::linux_
