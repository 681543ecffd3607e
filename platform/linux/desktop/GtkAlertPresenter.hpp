#pragma once

#include "platform/desktop/Alert.hpp"

#include <functional>

namespace ampwell::platform::linux_ {

// Alerts as GTK message dialogs (see runMessageDialog): modal, buttons in order, the first the
// default. `beforeModal` is called before the dialog's nested loop starts (the desktop hides its
// panel, which the dialog takes the place of). Main thread.
class GtkAlertPresenter final : public AlertPresenter {
public:
    std::size_t runModal(const Alert& alert) override;

    std::function<void()> beforeModal;
};

}  // namespace ampwell::platform::linux_
