#pragma once

#include "platform/base/InstanceLock.hpp"
#include "platform/base/SystemLog.hpp"

#include <string>

namespace ampwell::platform::sim {

// The simulated Mac's single-instance lock: a FileInstanceLock in `directory`, which is made
// (mode 0700) when missing. Every program running on simulations with the same directory counts
// as running on the same Mac; give each its own directory to run two side by side.
class SimInstanceLock final : public InstanceLock {
public:
    // `mustBePrivate`: the directory is the shared default in a temporary area, so it is used
    // only when it is a real directory of this user that nobody else may write to. When it is
    // not, the lock is not taken, a line goes to `log`, and the instance runs, as it does
    // whenever a lock file cannot be made.
    SimInstanceLock(std::string directory, bool mustBePrivate, SystemLog& log);

    bool acquire(const std::string& bundleIdentifier) override;
    const std::string& directory() const { return directory_; }

    // "$XDG_RUNTIME_DIR/ampwell-simulation" when that variable names a directory, otherwise
    // "${TMPDIR:-/tmp}/ampwell-simulation-<user ID>".
    static std::string defaultDirectory(const char* runtimeDirectory, const char* temporaryDirectory);

private:
    std::string directory_;
    bool mustBePrivate_;
    SystemLog& log_;
    FileInstanceLock lock_;
};

}  // namespace ampwell::platform::sim
