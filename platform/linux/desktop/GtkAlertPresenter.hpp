#pragma once

#include "platform/Alert.hpp"

#include <functional>

namespace ampwell::platform::linux_ {

// Alerts as GTK message dialogs (see runMessageDialog): modal, buttons in order, the first the
// default. `beforeModal`/`afterModal` bracket the nested loop (the application uses them to keep
// its own queue from running re-entrantly). Main thread.
class GtkAlertPresenter final : public AlertPresenter {
public:
    std::size_t runModal(const Alert& alert) override;

    std::function<void()> beforeModal;
    std::function<void()> afterModal;
};

}  // namespace ampwell::platform::linux_
