#pragma once

#include "platform/base/FileDescriptor.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/linux/refresh/LinuxRefreshListener.hpp"
#include "platform/linux/refresh/ListenerConnection.hpp"
#include "platform/linux/refresh/RefusalLog.hpp"
#include "platform/linux/refresh/ReplyBox.hpp"

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace ampwell::platform::linux_ {

// What the listener's thread works on. The loop, reading and replying are in
// LinuxRefreshListener.cpp; accepting and checking peers in LinuxRefreshListenerAdmission.cpp.
struct LinuxRefreshListener::State : std::enable_shared_from_this<State> {
    State(const std::vector<int>& sockets, Options options) : options(options), refusals(options.log) {
        for (const int socket : sockets) listening.emplace_back(socket);
    }

    void run();
    void acceptAll();
    // The connection's place, or nothing when it is refused.
    std::optional<ListenerConnection> admit(FileDescriptor fd);
    void checkInBackground(std::uint64_t id, pid_t peer, PeerExecutableVerifier::Inspection inspection);
    void takeChecked();
    void checkWaitingConnectionsOf(pid_t peer);
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
    RefusalLog refusals;                   // listener thread only
    std::map<pid_t, std::size_t> perPeer;  // open connections by peer process
    std::set<pid_t> hashing;               // peers whose executable is being hashed

    // Set before the thread starts; both outlive it.
    PeerExecutableVerifier* verifier = nullptr;
    SerialQueue* hasher = nullptr;
    // Executables hashed away from the listener's thread, and whether they passed.
    std::mutex checkedMutex;
    struct Checked {
        std::uint64_t connection;
        pid_t peer;
        bool passed;
    };
    std::vector<Checked> checked;
};

}  // namespace ampwell::platform::linux_
