#pragma once

#include "platform/base/FileDescriptor.hpp"

#include <cstdint>
#include <mutex>
#include <vector>

namespace ampwell::platform::linux_ {

// Where replies given on other threads wait for the listener's thread. Shared with every reply
// callback, so a reply given after the listener has ended goes nowhere harmlessly.
class ReplyBox {
public:
    struct Reply {
        std::uint64_t connection;
        std::uint64_t sequence;
        std::uint32_t status;
    };

    ReplyBox();

    // The descriptor that becomes readable when replies wait.
    int wakeDescriptor() const { return wakeFd_.get(); }
    void wake() const;
    void put(Reply reply);
    std::vector<Reply> take();

private:
    const FileDescriptor wakeFd_;
    std::mutex mutex_;
    std::vector<Reply> replies_;
};

}  // namespace ampwell::platform::linux_
