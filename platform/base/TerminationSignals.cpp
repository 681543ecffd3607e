#include "platform/base/TerminationSignals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <utility>

namespace ampwell::platform {
namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};
// The pipe's writing end, for the handler; -1 while no TerminationSignals exists.
std::atomic<int> signalPipe{-1};
std::array<struct sigaction, kSignals.size()> previousActions{};

void onTerminationSignal(int number) {
    const int savedErrno = errno;
    const int fd = signalPipe.load();
    const auto byte = static_cast<unsigned char>(number);
    // Nothing to do if it fails: the pipe holds far more than the signals that can come.
    if (fd >= 0 && ::write(fd, &byte, 1) < 0) errno = savedErrno;
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (::pipe2(pipe_, O_CLOEXEC) != 0) throw std::runtime_error("cannot make the signal pipe");
    int expected = -1;
    if (!signalPipe.compare_exchange_strong(expected, pipe_[1])) {
        ::close(pipe_[0]);
        ::close(pipe_[1]);
        throw std::logic_error("termination signals are already being watched");
    }
    watcher_ = std::thread([this] {
        unsigned char byte = 0;
        ssize_t got = 0;
        do got = ::read(pipe_[0], &byte, 1);
        while (got < 0 && errno == EINTR);
        // A zero byte is the destructor's, not a signal's.
        if (got != 1 || byte == 0) return;
        // A second signal ends the process as if nobody had asked for it.
        for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previousActions[i], nullptr);
        onSignal_(byte);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previousActions[i]);
}

TerminationSignals::~TerminationSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previousActions[i], nullptr);
    signalPipe.store(-1);
    const unsigned char stop = 0;
    // Closing the writing end ends the watcher's read too, should the byte not go in.
    const bool woken = ::write(pipe_[1], &stop, 1) == 1;
    ::close(pipe_[1]);
    static_cast<void>(woken);
    watcher_.join();
    ::close(pipe_[0]);
}

}  // namespace ampwell::platform
