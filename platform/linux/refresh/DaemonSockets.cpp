#include "platform/linux/refresh/DaemonSockets.hpp"

#include <systemd/sd-daemon.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace ampwell::platform::linux_ {
namespace {

constexpr int kBacklog = 128;

std::string describeErrno(const std::string& what, int error) { return what + ": " + std::strerror(error); }

// Another user who can write the socket's directory can replace the socket file with a link to any
// file between the daemon's steps, so such a directory is not used at all. Why not, when so.
std::optional<std::string> directoryOthersCanWrite(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) return describeErrno(directory, errno);
    if (!S_ISDIR(status.st_mode)) return directory + ": not a directory";
    if (status.st_uid != 0 && status.st_uid != ::geteuid())
        return directory + ": belongs to another user; the socket is not made there";
    const bool foreignGroupWrites = (status.st_mode & 0020) != 0 && status.st_gid != 0 && status.st_gid != ::getegid();
    if ((status.st_mode & 0002) != 0 || foreignGroupWrites)
        return directory + ": other users may write it; the socket is not made there";
    return std::nullopt;
}

}  // namespace

BoundSocketPath::BoundSocketPath(std::string path, dev_t device, ino_t inode)
    : path_(std::move(path)), device_(device), inode_(inode) {}

BoundSocketPath::BoundSocketPath(BoundSocketPath&& other) noexcept
    : path_(std::move(other.path_)), device_(other.device_), inode_(other.inode_) {
    other.path_.clear();
}

BoundSocketPath& BoundSocketPath::operator=(BoundSocketPath&& other) noexcept {
    if (this != &other) {
        removeSocket();
        path_ = std::move(other.path_);
        device_ = other.device_;
        inode_ = other.inode_;
        other.path_.clear();
    }
    return *this;
}

BoundSocketPath::~BoundSocketPath() { removeSocket(); }

void BoundSocketPath::removeSocket() {
    if (path_.empty()) return;
    struct stat status {};
    if (::lstat(path_.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_dev == device_ &&
        status.st_ino == inode_)
        ::unlink(path_.c_str());
}

int bindListeningSocket(const std::string& path, BoundSocketPath& bound, std::string& problem) {
    // Let go of what `bound` held first: taking over the new socket later would otherwise remove
    // its file if the new socket happened to get the old one's inode number.
    bound = BoundSocketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        problem = path + ": not a usable socket path";
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (auto unsafe = directoryOthersCanWrite(path)) {
        problem = *unsafe;
        return -1;
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            problem = path + ": exists and is not a socket; left alone";
            return -1;
        }
        ::unlink(path.c_str());
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        problem = describeErrno(path + ": socket", errno);
        return -1;
    }
    // The mode is given at bind() through the umask, never by changing the path afterwards: a
    // path can be swapped for a link to another file between the two.
    const mode_t previous = ::umask(0111);
    const int bindResult = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(previous);
    if (bindResult != 0 || ::listen(fd, kBacklog) != 0) {
        problem = describeErrno(path, errno);
        ::close(fd);
        return -1;
    }
    struct stat created {};
    if (::lstat(path.c_str(), &created) == 0) bound = BoundSocketPath(path, created.st_dev, created.st_ino);
    return fd;
}

DaemonSockets openDaemonSockets(const std::string& extraPath) {
    DaemonSockets sockets;
    const int passed = ::sd_listen_fds(1);
    if (passed < 0) sockets.problems.push_back(describeErrno("socket activation", -passed));
    for (int fd = SD_LISTEN_FDS_START; fd < SD_LISTEN_FDS_START + std::max(passed, 0); ++fd) {
        if (::sd_is_socket_unix(fd, SOCK_STREAM, 1, nullptr, 0) > 0) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            sockets.listening.push_back(fd);
        } else {
            sockets.problems.push_back("socket activation: descriptor " + std::to_string(fd) +
                                       " is not a listening Unix stream socket; ignored");
            ::close(fd);
        }
    }
    if (!extraPath.empty()) {
        BoundSocketPath bound;
        std::string problem;
        const int fd = bindListeningSocket(extraPath, bound, problem);
        if (fd >= 0) {
            sockets.listening.push_back(fd);
            sockets.boundPaths.push_back(std::move(bound));
        } else {
            sockets.problems.push_back(problem);
        }
    }
    return sockets;
}

}  // namespace ampwell::platform::linux_
