#include "platform/linux/refresh/PeerExecutableVerifier.hpp"

#include "platform/linux/refresh/ExecutableDigest.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ampwell::platform::linux_ {
namespace {

constexpr std::size_t kCacheSize = 4;
constexpr long kFuseMagic = 0x65735546;

int openPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

bool stillRuns(int pidfd) { return ::syscall(SYS_pidfd_send_signal, pidfd, 0, nullptr, 0) == 0; }

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Only root can change such a file, so its identity stands for its content.
bool contentFixedByIdentity(int fd, const struct stat& status) {
    if (!S_ISREG(status.st_mode) || status.st_uid != 0 || (status.st_mode & 0022) != 0) return false;
    struct statfs filesystem {};
    if (::fstatfs(fd, &filesystem) != 0) return false;
    return static_cast<long>(filesystem.f_type) != kFuseMagic;
}

}  // namespace

PeerExecutableVerifier::PeerExecutableVerifier(std::string procRoot) : procRoot_(std::move(procRoot)) {}

PeerExecutableVerifier::~PeerExecutableVerifier() {
    for (const auto& entry : cache_) ::close(entry.fd);
}

std::size_t PeerExecutableVerifier::digestsComputed() const {
    std::lock_guard lock(mutex_);
    return computed_;
}

std::optional<std::string> PeerExecutableVerifier::digestOfOpenExecutable(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::nullopt;
    const bool cacheable = contentFixedByIdentity(fd, status);
    std::lock_guard lock(mutex_);
    if (cacheable) {
        for (auto entry = cache_.begin(); entry != cache_.end(); ++entry) {
            if (entry->device != status.st_dev || entry->inode != status.st_ino) continue;
            if (entry->size == status.st_size && sameTime(entry->modified, status.st_mtim) &&
                sameTime(entry->changed, status.st_ctim)) {
                cache_.splice(cache_.begin(), cache_, entry);
                return cache_.front().digest;
            }
            ::close(entry->fd);
            cache_.erase(entry);
            break;
        }
    }
    auto digest = sha256OfOpenFile(fd);
    ++computed_;
    if (!digest || !cacheable) return digest;
    // Taken after the read: a change during the read moves the change time away from this one.
    struct stat after {};
    if (::fstat(fd, &after) != 0 || !sameTime(after.st_ctim, status.st_ctim) || after.st_size != status.st_size)
        return std::nullopt;
    const int pinned = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (pinned < 0) return digest;
    if (cache_.size() == kCacheSize) {
        ::close(cache_.back().fd);
        cache_.pop_back();
    }
    cache_.push_front(Entry{pinned, status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim, *digest});
    return digest;
}

std::optional<std::string> PeerExecutableVerifier::digestOfProcess(pid_t pid) {
    if (pid <= 0) return std::nullopt;
    const int pidfd = openPidfd(pid);
    if (pidfd < 0) return std::nullopt;
    std::optional<std::string> digest;
    const std::string exe = procRoot_ + "/" + std::to_string(pid) + "/exe";
    const int fd = ::open(exe.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        digest = digestOfOpenExecutable(fd);
        ::close(fd);
    }
    // The pidfd names the process that had this ID when the check began; if it has ended, the
    // ID may already belong to another process, and what was read proves nothing.
    if (!stillRuns(pidfd)) digest.reset();
    ::close(pidfd);
    return digest;
}

bool PeerExecutableVerifier::satisfies(pid_t pid, const CodeRequirement& requirement) {
    const auto digest = digestOfProcess(pid);
    return digest && requirement.isSatisfiedBy(*digest);
}

}  // namespace ampwell::platform::linux_
