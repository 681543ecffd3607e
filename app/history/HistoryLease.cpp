#include "app/history/HistoryLease.hpp"

#include "app/history/HistoryStore.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ampwell {

HistoryLease::HistoryLease(const std::string& databasePath) : path_(databasePath + ".writer") {}

HistoryLease::~HistoryLease() {
    if (fd_ >= 0) ::close(fd_);
}

bool HistoryLease::held() {
    if (held_) return true;
    if (fd_ < 0) {
        makePrivateParentDirectories(path_);
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0) return true;
    }
    held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    return held_;
}

}  // namespace ampwell
