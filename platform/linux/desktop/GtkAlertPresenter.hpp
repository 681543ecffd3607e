#pragma once

#include "platform/desktop/Alert.hpp"
#include "platform/linux/desktop/GtkSession.hpp"

#include <deque>
#include <functional>

typedef struct _GtkWidget GtkWidget;

namespace ampwell::platform::linux_ {

// Alerts as GTK message dialogs (see showMessageDialog), one at a time: an alert presented while
// another is open waits and is shown once that one is answered, so the answers keep the order of
// the alerts. Nothing waits in a nested loop. `beforeShowing` is called before each dialog is
// shown (the desktop hides its panel, which the dialog takes the place of). Without a display an
// alert is answered at once with its last button, the one that changes nothing. Main thread.
class GtkAlertPresenter final : public AlertPresenter {
public:
    explicit GtkAlertPresenter(GtkSession& gtk) : gtk_(gtk) {}
    ~GtkAlertPresenter() override;
    GtkAlertPresenter(const GtkAlertPresenter&) = delete;
    GtkAlertPresenter& operator=(const GtkAlertPresenter&) = delete;

    void present(const Alert& alert, Answered answered) override;

    // The dialog shown now, or null.
    GtkWidget* shownDialog() const { return shown_; }
    // How many alerts wait behind the shown one.
    std::size_t waiting() const { return waiting_.size(); }

    std::function<void()> beforeShowing;

private:
    struct Waiting {
        Alert alert;
        Answered answered;
    };

    void showNext();

    GtkSession& gtk_;
    std::deque<Waiting> waiting_;
    GtkWidget* shown_ = nullptr;
    bool answering_ = false;
};

}  // namespace ampwell::platform::linux_
