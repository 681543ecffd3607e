#pragma once

#include "platform/base/EventStream.hpp"
#include "platform/desktop/Alert.hpp"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace ampwell::platform::headless {

// Answers alerts for the scripted user: each alert takes the next scripted button title; when
// none is left, or the title is not one of the alert's buttons, it gets its first button (the
// default, as Return would). Tells an "alert" event with "message", "informative", "buttons" and
// "answer" (plus "scriptedAnswer" when a scripted title was not among the buttons). Main thread.
class HeadlessAlertPresenter final : public AlertPresenter {
public:
    HeadlessAlertPresenter(EventStream& events, std::vector<std::string> answers);

    // Answers at once, before returning.
    void present(const Alert& alert, Answered answered) override;
    // The answer present() hands on.
    std::size_t runModal(const Alert& alert);

private:
    EventStream& events_;
    std::deque<std::string> answers_;
};

}  // namespace ampwell::platform::headless
