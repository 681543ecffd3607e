#pragma once

#include "platform/refresh/RefreshConnection.hpp"

#include <string>

namespace ampwell::platform::linux_ {

// Connections to the refresh daemon over its Unix stream socket. A request opens the socket
// (without blocking the caller: a thread of the connection does the waiting), sends the request
// header and reads the 4-byte status. How the socket's answers map to the connection's outcomes:
// - the socket cannot be reached (no daemon, no socket unit), or the daemon closes the connection
//   before any byte of a reply (it refused this user or this program, which on a socket looks
//   the same as a daemon that ended): invalidated;
// - the connection fails with any other error while the reply is awaited: interrupted;
// - a reply cut short, or the request cannot be written: proxy error.
class LinuxRefreshConnector final : public RefreshConnector {
public:
    explicit LinuxRefreshConnector(std::string socketPath);
    // The socket named by AMPWELL_REFRESH_SOCKET, else the daemon's default socket.
    static std::string socketPathFromEnvironment();

    std::unique_ptr<RefreshConnection> connect(const std::string& serviceName, std::uint64_t options) override;

    const std::string& socketPath() const { return socketPath_; }

private:
    std::string socketPath_;
};

// The Linux install layout, judged with the contract's file check.
RefreshInstallation linuxRefreshInstallation();

}  // namespace ampwell::platform::linux_
