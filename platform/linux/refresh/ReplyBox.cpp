#include "platform/linux/refresh/ReplyBox.hpp"

#include <sys/eventfd.h>
#include <unistd.h>

#include <utility>

namespace ampwell::platform::linux_ {

ReplyBox::ReplyBox() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void ReplyBox::wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_.get(), &one, sizeof one);
}

void ReplyBox::put(Reply reply) {
    {
        std::lock_guard lock(mutex_);
        replies_.push_back(reply);
    }
    wake();
}

std::vector<ReplyBox::Reply> ReplyBox::take() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_.get(), &count, sizeof count);
    std::lock_guard lock(mutex_);
    return std::exchange(replies_, {});
}

}  // namespace ampwell::platform::linux_
