#include "platform/linux/refresh/PeerExecutableVerifier.hpp"

#include "platform/linux/refresh/ExecutableDigest.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ampwell::platform::linux_ {
namespace {

constexpr std::size_t kCacheSize = 8;
constexpr long kFuseMagic = 0x65735546;

int openPidfd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// A pidfd becomes readable when its process ends. Asked by poll(), which unlike a signal needs no
// permission over the process.
bool stillRuns(int pidfd) {
    pollfd polled{pidfd, POLLIN, 0};
    return pidfd >= 0 && ::poll(&polled, 1, 0) == 0;
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool sameIdentity(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && sameTime(a.st_mtim, b.st_mtim) &&
           sameTime(a.st_ctim, b.st_ctim) && a.st_uid == b.st_uid && a.st_mode == b.st_mode;
}

bool onlyRootWrites(const struct stat& status) { return status.st_uid == 0 && (status.st_mode & 0022) == 0; }

// Only root can change such a file, so its identity stands for its content.
bool contentFixedByIdentity(int fd, const struct stat& status) {
    if (!S_ISREG(status.st_mode) || !onlyRootWrites(status)) return false;
    struct statfs filesystem {};
    if (::fstatfs(fd, &filesystem) != 0) return false;
    return static_cast<long>(filesystem.f_type) != kFuseMagic;
}

}  // namespace

PeerExecutableVerifier::PeerExecutableVerifier(std::string procRoot, bool trustedOwnersOnly)
    : procRoot_(std::move(procRoot)), trustedOwnersOnly_(trustedOwnersOnly) {}

PeerExecutableVerifier::~PeerExecutableVerifier() = default;

std::size_t PeerExecutableVerifier::digestsComputed() const {
    std::lock_guard lock(mutex_);
    return computed_;
}

const std::string* PeerExecutableVerifier::cachedDigest(const struct stat& status) {
    for (auto entry = cache_.begin(); entry != cache_.end(); ++entry) {
        if (entry->status.st_dev != status.st_dev || entry->status.st_ino != status.st_ino) continue;
        if (!sameIdentity(entry->status, status)) {
            cache_.erase(entry);
            return nullptr;
        }
        cache_.splice(cache_.begin(), cache_, entry);
        return &cache_.front().digest;
    }
    return nullptr;
}

bool PeerExecutableVerifier::cannotBeClient(const struct stat& status) const {
    if (!S_ISREG(status.st_mode) || static_cast<std::uint64_t>(status.st_size) > kLargestDigestedExecutable)
        return true;
    if (trustedOwnersOnly_ && !onlyRootWrites(status)) return true;
    return clientSize_ && *clientSize_ != status.st_size;
}

std::optional<std::string> PeerExecutableVerifier::digestOfOpenExecutable(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::nullopt;
    const bool cacheable = contentFixedByIdentity(fd, status);
    if (cacheable) {
        std::lock_guard lock(mutex_);
        if (const auto* digest = cachedDigest(status)) return *digest;
    }
    auto digest = sha256OfOpenFile(fd);
    std::lock_guard lock(mutex_);
    ++computed_;
    if (!digest || !cacheable) return digest;
    // Taken after the read: a change during the read moves the change time away from this one.
    struct stat after {};
    if (::fstat(fd, &after) != 0 || !sameIdentity(after, status)) return std::nullopt;
    FileDescriptor pinned(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (!pinned) return digest;
    if (cachedDigest(status) != nullptr) return digest;  // kept meanwhile by another thread
    if (cache_.size() == kCacheSize) cache_.pop_back();
    cache_.push_front(Entry{std::move(pinned), status, *digest});
    return digest;
}

PeerExecutableVerifier::Inspection PeerExecutableVerifier::inspect(pid_t pid, const CodeRequirement& requirement,
                                                                   int peerPidfd) {
    Inspection inspection;
    if (pid <= 0) return inspection;
    inspection.pidfd = FileDescriptor(peerPidfd >= 0 ? ::fcntl(peerPidfd, F_DUPFD_CLOEXEC, 3) : openPidfd(pid));
    if (!inspection.pidfd) return inspection;
    const std::string exe = procRoot_ + "/" + std::to_string(pid) + "/exe";
    inspection.executable = FileDescriptor::open(exe, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat& status = inspection.status;
    if (!inspection.executable || ::fstat(inspection.executable.get(), &status) != 0) return inspection;
    if (!stillRuns(inspection.pidfd.get())) return inspection;
    std::lock_guard lock(mutex_);
    if (cannotBeClient(status)) return inspection;
    if (contentFixedByIdentity(inspection.executable.get(), status)) {
        if (const auto* digest = cachedDigest(status)) {
            inspection.verdict = requirement.isSatisfiedBy(*digest) ? Verdict::accepted : Verdict::refused;
            return inspection;
        }
    }
    inspection.verdict = Verdict::needsDigest;
    return inspection;
}

bool PeerExecutableVerifier::finish(Inspection& inspection, const CodeRequirement& requirement) {
    if (inspection.verdict != Verdict::needsDigest) return inspection.verdict == Verdict::accepted;
    auto digest = digestOfOpenExecutable(inspection.executable.get());
    // The pidfd names the process that had this ID when the check began; if it has ended, the
    // ID may already belong to another process, and what was read proves nothing.
    if (!stillRuns(inspection.pidfd.get())) digest.reset();
    const bool satisfied = digest && requirement.isSatisfiedBy(*digest);
    if (satisfied) {
        struct stat status {};
        std::lock_guard lock(mutex_);
        if (::fstat(inspection.executable.get(), &status) == 0) clientSize_ = status.st_size;
    }
    inspection.verdict = satisfied ? Verdict::accepted : Verdict::refused;
    return satisfied;
}

bool PeerExecutableVerifier::runsSameExecutable(pid_t pid, int pidfd, const struct stat& verified) const {
    const auto fd =
        FileDescriptor::open(procRoot_ + "/" + std::to_string(pid) + "/exe", O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0) return false;
    // Checked after the open: the pid cannot have passed to another process while it was read.
    return sameIdentity(status, verified) && stillRuns(pidfd);
}

bool PeerExecutableVerifier::satisfies(pid_t pid, const CodeRequirement& requirement) {
    auto inspection = inspect(pid, requirement);
    return finish(inspection, requirement);
}

std::optional<std::string> PeerExecutableVerifier::digestOfProcess(pid_t pid) {
    if (pid <= 0) return std::nullopt;
    const FileDescriptor pidfd(openPidfd(pid));
    if (!pidfd) return std::nullopt;
    std::optional<std::string> digest;
    const auto fd =
        FileDescriptor::open(procRoot_ + "/" + std::to_string(pid) + "/exe", O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd) digest = digestOfOpenExecutable(fd.get());
    if (!stillRuns(pidfd.get())) digest.reset();
    return digest;
}

}  // namespace ampwell::platform::linux_
