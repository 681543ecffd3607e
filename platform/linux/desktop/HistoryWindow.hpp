#pragma once

#include "platform/desktop/HistoryOffer.hpp"
#include "platform/linux/desktop/GtkSession.hpp"

#include <memory>

namespace ampwell::platform::linux_ {

// The window of the history chart: the offer's spans as a row of buttons above the chart of the
// chosen one, drawn on the canvas in the desktop's light or dark appearance and scrolled when it
// is taller than the window. Showing it again brings it to the front and draws it afresh. Main
// thread; needs an open display.
class HistoryWindow {
public:
    explicit HistoryWindow(GtkSession& gtk);
    ~HistoryWindow();
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    void show(const HistoryOffer& offer);
    bool isShown() const;

    struct Impl;

private:
    GtkSession& gtk_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ampwell::platform::linux_
