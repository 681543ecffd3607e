#pragma once

#include "platform/refresh/CodeRequirement.hpp"

#include <cstdint>
#include <functional>

namespace ampwell::platform {

// What the platform tells the daemon about a connecting client.
struct RefreshPeer {
    std::uint32_t effectiveUserID = 0;
    std::int32_t processID = 0;
};

// The daemon's side of the service: decides about new connections and answers their requests.
// Both methods run on the listener's own threads and must not block for long.
class RefreshListenerDelegate {
public:
    virtual ~RefreshListenerDelegate() = default;

    // False refuses the connection: it is closed and nothing it sends is ever answered. Only
    // connections whose client already satisfied the listener's code requirement are offered.
    virtual bool shouldAcceptNewConnection(const RefreshPeer& peer) = 0;
    // One requestRefreshWithReply: from an accepted connection. Returns at once; `reply` must be
    // called exactly once, from any thread, also after the client has gone away.
    virtual void requestRefresh(std::function<void(std::uint32_t status)> reply) = 0;
};

// Accepts clients of the refresh service.
class RefreshListener {
public:
    // Stops accepting, closes every connection and waits for the listener's threads; replies
    // given afterwards go nowhere.
    virtual ~RefreshListener() = default;

    // The delegate must outlive the listener. Set before resume().
    virtual void setDelegate(RefreshListenerDelegate* delegate) = 0;
    // Every connection whose client does not satisfy `requirement` is refused by the listener
    // itself, before the delegate hears of it. Set before resume().
    virtual void setConnectionCodeSigningRequirement(const CodeRequirement& requirement) = 0;
    // Starts accepting connections.
    virtual void resume() = 0;
};

}  // namespace ampwell::platform
