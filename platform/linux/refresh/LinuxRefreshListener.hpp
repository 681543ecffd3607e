#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/base/SystemLog.hpp"
#include "platform/linux/refresh/PeerExecutableVerifier.hpp"
#include "platform/refresh/RefreshListener.hpp"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ampwell::platform::linux_ {

// The refresh service on Unix stream sockets. One thread of its own accepts connections, checks
// each peer and moves the bytes; the delegate's requestRefresh hands the work elsewhere and its
// replies come back through a wake-up descriptor.
//
// Per connection: the peer's effective user ID and process ID come from SO_PEERCRED when it is
// accepted; the delegate decides on the user first (so a foreign user costs no digest), then the
// peer's executable must satisfy the code requirement (none set: every executable passes). A
// refused connection is closed without a byte. An accepted one may send request headers; each
// complete header is one request, answered by one 4-byte status in request order. Anything else
// closes the connection at once, without a reply.
//
// Limits that keep a flood from exhausting the daemon: at most `maxConnections` open connections
// (more wait in the kernel's backlog), of which one process may hold at most
// `maxConnectionsPerPeer` (more are refused, so that one program cannot lock the client out), at most `maxPendingPerConnection` requests per connection
// that are unanswered or whose replies are not yet written (the connection is not read while it
// has that many, so a peer that does not read its replies stops being read), a connection that
// has nothing outstanding must send its next request within `requestWindow`, replies must leave
// its output within `requestWindow`, and no connection lives longer than `lifetime`. Every limit
// closes the connection without a further byte.
class LinuxRefreshListener final : public RefreshListener {
public:
    struct Options {
        std::size_t maxConnections = 64;
        std::size_t maxConnectionsPerPeer = 4;
        std::size_t maxPendingPerConnection = 4;
        std::chrono::milliseconds requestWindow{5000};
        std::chrono::milliseconds lifetime{15000};
        std::string procRoot = "/proc";
        // Serve only a client executable that nobody but root can have written (as installed);
        // any other is refused without being read.
        bool trustedOwnersOnly = true;
        // Where refusals are told, rate-limited (see RefusalLog); none: they are not told.
        SystemLog* log = nullptr;
    };

    // Takes ownership of `listeningSockets`: bound, listening Unix stream sockets.
    explicit LinuxRefreshListener(std::vector<int> listeningSockets);
    LinuxRefreshListener(std::vector<int> listeningSockets, Options options);
    ~LinuxRefreshListener() override;

    void setDelegate(RefreshListenerDelegate* delegate) override;
    void setConnectionCodeSigningRequirement(const CodeRequirement& requirement) override;
    void resume() override;

    // Connections open right now; for tests.
    std::size_t openConnectionCount() const;
    PeerExecutableVerifier& verifier() { return verifier_; }

    struct State;

private:
    std::shared_ptr<State> state_;
    PeerExecutableVerifier verifier_;
    SystemClock clock_;
    // Hashes executables away from the listener's thread; destroyed first, so no hash outlives
    // the verifier.
    SerialQueue hasher_;
    std::thread thread_;
};

}  // namespace ampwell::platform::linux_
