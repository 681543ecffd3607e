#include "platform/desktop/headless/HeadlessAlertPresenter.hpp"

#include "platform/base/Translation.hpp"

#include <algorithm>

namespace ampwell::platform::headless {

HeadlessAlertPresenter::HeadlessAlertPresenter(EventStream& events, std::vector<std::string> answers)
    : events_(events), answers_(answers.begin(), answers.end()) {}

void HeadlessAlertPresenter::present(const Alert& alert, Answered answered) {
    const std::size_t chosen = runModal(alert);
    if (answered) answered(chosen);
}

std::size_t HeadlessAlertPresenter::runModal(const Alert& alert) {
    // An alert given no buttons is shown with one, as a desktop would.
    std::vector<std::string> buttons = alert.buttons;
    if (buttons.empty()) buttons.push_back("OK");

    nlohmann::json shown{{"message", alert.messageText}, {"informative", alert.informativeText}, {"buttons", buttons}};
    std::size_t chosen = 0;
    if (!answers_.empty()) {
        const std::string scripted = answers_.front();
        answers_.pop_front();
        // Named in the original language, like every title a script gives.
        const auto found = std::find(buttons.begin(), buttons.end(), std::string(tr(scripted.c_str())));
        if (found != buttons.end())
            chosen = static_cast<std::size_t>(found - buttons.begin());
        else
            shown["scriptedAnswer"] = scripted;
    }
    shown["answer"] = buttons[chosen];
    events_.emit("alert", shown);
    return chosen;
}

}  // namespace ampwell::platform::headless
