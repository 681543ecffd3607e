#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ampwell::platform {

// The client's end of one privileged connection to the refresh service, as the platform's
// connection object behaves: handlers are installed, the connection is resumed, one request goes
// out, and exactly one of reply, invalidation, interruption or proxy error usually follows. Every
// handler may run on any thread; callers hand the outcome to their own queue.
class RefreshConnection {
public:
    // Releases the connection without invalidating it: no handler runs once the destructor has
    // returned, and nothing is reported. May block briefly while its own thread ends.
    virtual ~RefreshConnection() = default;

    // Runs once when the connection can no longer be used: the service could not be reached,
    // refused the connection, or invalidate() was called. Set before resume().
    virtual void setInvalidationHandler(std::function<void()> handler) = 0;
    // Runs when the service went away while the request was outstanding. Set before resume().
    virtual void setInterruptionHandler(std::function<void()> handler) = 0;
    virtual void resume() = 0;
    // Obtains the remote proxy and calls requestRefreshWithReply: on it. Returns false, sending
    // nothing, when the remote object does not implement the refresh protocol. Otherwise `reply`
    // later runs with the status, or `proxyError` runs when the message could not be delivered;
    // neither may ever run (a service that never answers). Never blocks.
    virtual bool requestRefresh(std::function<void(std::uint32_t status)> reply,
                                std::function<void()> proxyError) = 0;
    // Ends the connection; the invalidation handler then runs (once, on any thread) unless it
    // already has. Never blocks.
    virtual void invalidate() = 0;
};

// Makes connections to the refresh service. Thread-safe.
class RefreshConnector {
public:
    virtual ~RefreshConnector() = default;

    // A connection to the service `serviceName`, not yet resumed; `options` are the platform's
    // connection options (4096: look the service up among the system's daemons). Never blocks
    // and never fails: a service that cannot be reached invalidates the connection later.
    virtual std::unique_ptr<RefreshConnection> connect(const std::string& serviceName, std::uint64_t options) = 0;
};

// Where the daemon's files are on this platform and how they are judged trustworthy, for the
// client's "is the component installed" question.
struct RefreshInstallation {
    std::string helperPath;
    std::string launchDaemonPath;
    // Whether the file at a path is a protected regular file (lstat semantics). Any thread.
    std::function<bool(const std::string& path)> isProtectedRegularFile;
    // Whether the system can hold the daemon to its client requirement at all (on a Mac: macOS
    // 13 or later). Without it the component never counts as installed.
    bool systemSupportsClientRequirement = true;
};

}  // namespace ampwell::platform
