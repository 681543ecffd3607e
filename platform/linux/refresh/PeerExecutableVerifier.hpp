#pragma once

#include "platform/base/FileDescriptor.hpp"
#include "platform/refresh/CodeRequirement.hpp"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <string>

namespace ampwell::platform::linux_ {

// Decides whether a connected peer process runs the one allowed client executable.
//
// The executable is read through `/proc/<pid>/exe`, which opens the very file the process runs,
// even if its path has since been replaced. A pidfd taken before the read and a liveness check
// after it make sure the process did not end (and its ID go to another process) while it was
// read.
//
// A check has two steps, so that the costly one can run away from the caller's thread. `inspect`
// is cheap: it refuses, without reading a byte, an executable that cannot be the client (not a
// regular file, too large to be digested, of another size than the client once the client has
// been seen, or, when `trustedOwnersOnly`, one that someone but root could have written), and
// answers from the digests kept so far. Only what it cannot decide is left to `finish`, which
// reads and hashes the file.
//
// Digests are kept per executable identity (device, inode, size, modification and change times to
// the nanosecond, owner and mode), so that a client that connects again costs no new hash, but
// only where nobody but root can change the file: a regular file owned by root that neither group
// nor others may write, not on a FUSE file system (whose server may report any owner). Each kept
// entry holds the file open, which pins its inode and mount: its device and inode numbers cannot
// pass to another file while the entry lives, and any change to the content (which only root can
// make) moves its change time. Every other executable is hashed afresh on every connection.
// Thread-safe.
class PeerExecutableVerifier {
public:
    explicit PeerExecutableVerifier(std::string procRoot = "/proc", bool trustedOwnersOnly = false);
    ~PeerExecutableVerifier();
    PeerExecutableVerifier(const PeerExecutableVerifier&) = delete;
    PeerExecutableVerifier& operator=(const PeerExecutableVerifier&) = delete;

    enum class Verdict { refused, accepted, needsDigest };
    struct Inspection {
        Verdict verdict = Verdict::refused;
        FileDescriptor pidfd;
        FileDescriptor executable;
        struct stat status {};  // of the executable
    };
    // `peerPidfd`, when not -1, is the peer's pidfd from the socket (SO_PEERPIDFD): it names the
    // process that connected even if its ID has since passed to another.
    Inspection inspect(pid_t pid, const CodeRequirement& requirement, int peerPidfd = -1);
    // Hashes what `inspect` left undecided; true when it satisfies the requirement. Any thread.
    bool finish(Inspection& inspection, const CodeRequirement& requirement);
    bool satisfies(pid_t pid, const CodeRequirement& requirement);
    // Whether the process behind `pidfd` still runs and still runs the very file `verified`
    // describes: a cheap check that it did not execute another program since.
    bool runsSameExecutable(pid_t pid, int pidfd, const struct stat& verified) const;

    // The SHA-256 of the executable process `pid` runs; nullopt when the process is gone, cannot
    // be read, or ended during the check.
    std::optional<std::string> digestOfProcess(pid_t pid);

    // Digests computed from file contents so far (cache hits do not count); for tests.
    std::size_t digestsComputed() const;

private:
    struct Entry {
        FileDescriptor pinned;  // keeps the file and its mount pinned
        struct stat status {};
        std::string digest;
    };
    // The kept digest of the open file, if any; mutex_ held.
    const std::string* cachedDigest(const struct stat& status);
    std::optional<std::string> digestOfOpenExecutable(int fd);
    bool cannotBeClient(const struct stat& status) const;

    std::string procRoot_;
    const bool trustedOwnersOnly_;
    mutable std::mutex mutex_;
    std::list<Entry> cache_;  // most recently used first
    std::optional<off_t> clientSize_;
    std::size_t computed_ = 0;
};

}  // namespace ampwell::platform::linux_
