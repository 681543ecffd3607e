#pragma once

#include "platform/base/FileDescriptor.hpp"

#include <string>

namespace ampwell::platform {

// One running instance per bundle identifier.
class InstanceLock {
public:
    virtual ~InstanceLock() = default;
    // True when no other process holds the lock for `bundleIdentifier`; the lock is then held by
    // this process until it ends. False when another instance runs. Main thread.
    virtual bool acquire(const std::string& bundleIdentifier) = 0;
};

// flock(2) on "<directory>/<bundleIdentifier>.lock": released by the kernel when the process ends,
// however it ends, so a crashed instance never blocks the next start.
class FileInstanceLock final : public InstanceLock {
public:
    explicit FileInstanceLock(std::string directory);
    bool acquire(const std::string& bundleIdentifier) override;

private:
    std::string directory_;
    FileDescriptor lock_;  // held from a successful acquire until the lock goes away
};

}  // namespace ampwell::platform
