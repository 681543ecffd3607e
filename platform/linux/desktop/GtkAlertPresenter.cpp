#include "platform/linux/desktop/GtkAlertPresenter.hpp"

#include "platform/linux/desktop/MessageDialog.hpp"

namespace ampwell::platform::linux_ {

std::size_t GtkAlertPresenter::runModal(const Alert& alert) {
    if (beforeModal) beforeModal();
    const int chosen = runMessageDialog(alert.messageText, alert.informativeText, alert.buttons);
    return chosen < 0 ? 0 : static_cast<std::size_t>(chosen);
}

}  // namespace ampwell::platform::linux_
