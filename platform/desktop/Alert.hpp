#pragma once

#include <cstddef>
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

// Shows alerts modally.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the alert and returns once the user has answered, with the index of the chosen button
    // (0 is the first). An alert given no buttons is shown with one button and answers 0. The main
    // thread keeps serving the main queue's work meanwhile only if the desktop runs a nested loop;
    // callers must not rely on either. Main thread.
    virtual std::size_t runModal(const Alert& alert) = 0;
};

}  // namespace ampwell::platform
