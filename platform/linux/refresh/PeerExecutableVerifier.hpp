#pragma once

#include "platform/refresh/CodeRequirement.hpp"

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
// Digests are kept per executable identity, so that a client that connects again costs no new
// hash, but only where nobody but root can change the file: a regular file owned by root that
// neither group nor others may write, not on a FUSE file system (whose server may report any
// owner). Each kept entry holds the file open, which pins its inode and mount: its device and
// inode numbers cannot pass to another file while the entry lives, and any change to the content
// (which only root can make) moves its change time. Every other executable is hashed afresh on
// every connection. Thread-safe.
class PeerExecutableVerifier {
public:
    explicit PeerExecutableVerifier(std::string procRoot = "/proc");
    ~PeerExecutableVerifier();
    PeerExecutableVerifier(const PeerExecutableVerifier&) = delete;
    PeerExecutableVerifier& operator=(const PeerExecutableVerifier&) = delete;

    // The SHA-256 of the executable process `pid` runs; nullopt when the process is gone, cannot
    // be read, or ended during the check.
    std::optional<std::string> digestOfProcess(pid_t pid);
    bool satisfies(pid_t pid, const CodeRequirement& requirement);

    // Digests computed from file contents so far (cache hits do not count); for tests.
    std::size_t digestsComputed() const;

private:
    struct Entry {
        int fd = -1;  // keeps the file and its mount pinned
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        std::string digest;
    };
    std::optional<std::string> digestOfOpenExecutable(int fd);

    std::string procRoot_;
    mutable std::mutex mutex_;
    std::list<Entry> cache_;  // most recently used first
    std::size_t computed_ = 0;
};

}  // namespace ampwell::platform::linux_
