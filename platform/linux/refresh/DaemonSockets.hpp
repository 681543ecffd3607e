#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// A Unix stream socket the daemon bound to a path itself. Removes its socket file when destroyed,
// as long as the path still names that very socket.
class BoundSocketPath {
public:
    BoundSocketPath() = default;
    BoundSocketPath(std::string path, dev_t device, ino_t inode);
    ~BoundSocketPath();
    BoundSocketPath(BoundSocketPath&& other) noexcept;
    BoundSocketPath& operator=(BoundSocketPath&& other) noexcept;

private:
    void removeSocket();

    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// The listening sockets of the daemon: those systemd passed on (socket activation), and, when
// `extraPath` is not empty, a socket the daemon binds there itself (tests, a hand start). A stale
// socket file at `extraPath` is replaced; any other kind of file there is left alone and the path
// is not served. The extra socket may be reached by every user (mode 0666): who is served is
// decided per connection. Problems are described in `problems`, one line each.
struct DaemonSockets {
    std::vector<int> listening;
    std::vector<BoundSocketPath> boundPaths;
    std::vector<std::string> problems;
};
DaemonSockets openDaemonSockets(const std::string& extraPath);

// Binds and listens on a Unix stream socket at `path` (mode 0666). Returns the descriptor, or -1
// with `problem` set. A directory that other users may write (owned by another user than root or
// this process's, writable by all, or by a group other than root's or this process's) is refused.
int bindListeningSocket(const std::string& path, BoundSocketPath& bound, std::string& problem);

}  // namespace ampwell::platform::linux_
