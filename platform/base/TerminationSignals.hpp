#pragma once

#include <functional>
#include <thread>

namespace ampwell::platform {

// Turns SIGTERM, SIGINT and SIGHUP (systemd stopping a service, Ctrl-C, a session ending) into a
// call on a thread of its own, so that a program can end the way its quit does and write what it
// still holds instead of dying mid-way: its history keeps minutes of rows in memory. A second
// signal after the first ends the process at once, as it would have without this.
//
// One at a time per process: the signal handler can only reach it through a static.
class TerminationSignals {
public:
    // From now on the signals call `onSignal` with the signal's number, once.
    explicit TerminationSignals(std::function<void(int)> onSignal);
    // Gives the signals back their previous actions.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::function<void(int)> onSignal_;
    int pipe_[2] = {-1, -1};
    std::thread watcher_;
};

}  // namespace ampwell::platform
