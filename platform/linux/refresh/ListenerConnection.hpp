#pragma once

#include "contract/RefreshWire.hpp"
#include "platform/base/FileDescriptor.hpp"

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace ampwell::platform::linux_ {

// One accepted connection of the refresh listener, and the times at which it must go.
//
// Every connection is closed at the latest `lifetime` after it was accepted. Before that it is
// closed when it has nothing unanswered and sends no request within the request window, and when
// replies wait in its output for longer than the request window (a peer that does not read holds
// no slot). Replies waiting to be written count as outstanding requests, so a peer that does not
// read stops being read: its output can never hold more than the pending limit allows.
struct ListenerConnection {
    using Clock = std::chrono::steady_clock;

    FileDescriptor fd;
    pid_t peer = 0;
    std::uint32_t userID = 0;
    FileDescriptor peerPidfd;   // pins the process that connected
    struct stat executable {};  // the file it ran when it was checked
    RefreshWire::RequestReader reader;
    std::uint64_t nextSequence = 0;                // of the next request read
    std::uint64_t nextToSend = 0;                  // of the next reply to write
    std::map<std::uint64_t, std::uint32_t> ready;  // replies that arrived ahead of their turn
    std::string output;
    bool inputEnded = false;
    bool verifying = false;            // its executable is being checked: not read until it passes
    bool awaitingHash = false;         // waits for another hash of the same process to finish first
    Clock::time_point idleDeadline;    // for the next request, while nothing is unanswered
    Clock::time_point outputDeadline;  // for the output to drain, while it holds anything
    Clock::time_point endOfLife;

    // Requests read whose replies have not yet been written to the socket.
    std::size_t outstanding() const;
    std::size_t unanswered() const { return static_cast<std::size_t>(nextSequence - nextToSend); }
    bool idle() const { return unanswered() == 0 && output.empty(); }
    // The earliest time at which this connection is closed if nothing happens before.
    Clock::time_point closesAt() const;
    // Whether it must be closed at `now`.
    bool due(Clock::time_point now) const { return (inputEnded && idle()) || now >= closesAt(); }
    // Moves the replies that are next in order into the output.
    void queueReadyReplies(Clock::time_point now, std::chrono::milliseconds requestWindow);
    // recv(2) of at most `size` bytes, all written by one process, whose ID goes to `writer` (0
    // when the kernel did not name it).
    ssize_t receive(std::uint8_t* buffer, std::size_t size, pid_t& writer);
    // Writes what the socket takes; false when the peer is gone.
    bool flush();
};

}  // namespace ampwell::platform::linux_
