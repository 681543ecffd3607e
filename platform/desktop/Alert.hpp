#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ampwell::platform {

// A modal alert: a message, an informative text below it, and buttons in order. The first button
// is the default (Return chooses it).
struct Alert {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;
};

// Shows alerts, one at a time.
class AlertPresenter {
public:
    using Answered = std::function<void(std::size_t button)>;

    virtual ~AlertPresenter() = default;
    // Shows the alert; `answered` runs on the main thread once the user has answered, with the
    // index of the chosen button (0 is the first). An alert given no buttons is shown with one
    // button and answers 0. An alert presented while another is shown waits for it to be answered
    // and is shown next, so answers arrive in the order the alerts were presented. The answer may
    // come before present() returns (a scripted user) or later (a person), with the main loop
    // serving everything else meanwhile; callers must work with either. Main thread.
    virtual void present(const Alert& alert, Answered answered) = 0;
};

}  // namespace ampwell::platform
