#pragma once

#include <functional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace ampwell::platform::linux_ {

// A GTK message dialog: the message in bold, the informative text below it, the buttons in the
// given order with the first as the default (Return picks it), raised above every other window.
// It is shown and the call returns at once: no nested loop, so posted work, timers and D-Bus
// replies keep flowing while it is open. `answered` runs once, from the main loop, with the index
// of the chosen button; closing the dialog (Escape, the window manager) counts as the last
// button, the one that changes nothing. The dialog destroys itself after answering. Main thread
// only; GTK must be up (GtkSession).
GtkWidget* showMessageDialog(const std::string& message, const std::string& informative,
                             const std::vector<std::string>& buttons, std::function<void(int)> answered);

// Chooses button `index` of a dialog showMessageDialog returned (as a click would).
void answerMessageDialog(GtkWidget* dialog, int index);

}  // namespace ampwell::platform::linux_
