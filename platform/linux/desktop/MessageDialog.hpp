#pragma once

#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// A modal GTK message dialog: the message in bold, the informative text below it, the buttons in
// the given order with the first as the default (Return picks it). The dialog is raised above
// every other window first. Runs a nested loop on the default GLib context until the user answers.
// Returns the index of the chosen button; closing the dialog (Escape, the window manager) counts
// as the last button, the one that changes nothing. Main thread only; needs an open display.
int runMessageDialog(const std::string& message, const std::string& informative,
                     const std::vector<std::string>& buttons);

// The dialog currently shown by runMessageDialog, or nullptr; lets a test or a second caller answer it.
struct MessageDialogHandle {
    static void* current();
    // Chooses button `index` of the current dialog; false when none is shown.
    static bool answer(int index);
};

}  // namespace ampwell::platform::linux_
