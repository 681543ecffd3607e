#include "platform/linux/desktop/GtkAlertPresenter.hpp"

#include "platform/linux/desktop/MessageDialog.hpp"

#include <gtk/gtk.h>

namespace ampwell::platform::linux_ {

GtkAlertPresenter::~GtkAlertPresenter() {
    // The dialog's answer would reach a presenter that is gone.
    waiting_.clear();
    if (shown_) gtk_widget_destroy(shown_);
}

void GtkAlertPresenter::present(const Alert& alert, Answered answered) {
    waiting_.push_back({alert, std::move(answered)});
    // An alert presented from an answer is shown once that answer has run.
    if (!shown_ && !answering_) showNext();
}

void GtkAlertPresenter::showNext() {
    while (!shown_ && !waiting_.empty()) {
        Waiting next = std::move(waiting_.front());
        waiting_.pop_front();
        const std::size_t last = next.alert.buttons.empty() ? 0 : next.alert.buttons.size() - 1;
        if (!gtk_.ready()) {
            // Without a display nobody can answer: the last button, as when the dialog is dismissed.
            answering_ = true;
            if (next.answered) next.answered(last);
            answering_ = false;
            continue;
        }
        if (beforeShowing) beforeShowing();
        auto answered = std::move(next.answered);
        shown_ = showMessageDialog(next.alert.messageText, next.alert.informativeText, next.alert.buttons,
                                   [this, answered](int chosen) {
                                       shown_ = nullptr;
                                       answering_ = true;
                                       if (answered) answered(static_cast<std::size_t>(chosen < 0 ? 0 : chosen));
                                       answering_ = false;
                                       showNext();
                                   });
    }
}

}  // namespace ampwell::platform::linux_
