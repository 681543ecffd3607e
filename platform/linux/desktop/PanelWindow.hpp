#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _GtkWidget GtkWidget;

namespace ampwell::platform::linux_ {

// An entry of a submenu opened from one of the panel's buttons.
struct PanelMenuEntry {
    std::string title;
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    bool radio = false;
    std::function<void()> onClick;
    // Non-empty: the entry opens a submenu built when it is shown.
    std::function<std::vector<PanelMenuEntry>()> submenu;
};

// One row of the panel, top to bottom.
struct PanelRow {
    enum class Kind { drawn, button, separator };
    Kind kind = Kind::button;
    // drawn: the view's size in points and how to draw it (origin top-left, y down).
    double width = 0;
    double height = 0;
    std::function<void(cairo_t*, bool dark)> draw;
    std::string tooltip;
    // button
    std::string title;
    std::string shortcut;  // shown right-aligned, dimmed ("Ctrl+R", "›")
    // Draws the entry's 16 × 16 point symbol before the title; may be empty.
    std::function<void(cairo_t*, bool dark)> icon;
    bool enabled = true;
    std::function<void()> onClick;
    std::function<std::vector<PanelMenuEntry>()> submenu;  // the button opens a menu instead
};

// The drawn panel a left click on the tray item opens: an undecorated window near the pointer
// with the drawn views followed by the plain entries as buttons. It follows the desktop's light or
// dark appearance and closes on Escape, on a click of one of its buttons, or when it loses the
// focus. Main thread only; needs an open display.
class PanelWindow {
public:
    PanelWindow();
    ~PanelWindow();
    PanelWindow(const PanelWindow&) = delete;
    PanelWindow& operator=(const PanelWindow&) = delete;

    // Builds the rows and shows the window next to (x, y) in screen pixels, or next to the pointer
    // when both are 0. Calls onShown. Showing while shown rebuilds in place.
    void show(std::vector<PanelRow> rows, int x = 0, int y = 0);
    // Hides the window; calls onHidden when it was shown.
    void hide();
    bool isShown() const;
    // Draws the drawn rows again (their content changed).
    void redraw();
    // Whether the panel draws in the dark appearance now.
    bool dark() const;
    GtkWidget* window() const;

    std::function<void()> onShown;
    std::function<void()> onHidden;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// True when the desktop's GTK settings ask for a dark appearance: the application-wide dark
// preference, a theme whose name says dark, or a GTK_THEME variant ":dark".
bool desktopPrefersDark();

}  // namespace ampwell::platform::linux_
