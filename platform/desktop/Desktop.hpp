#pragma once

#include "platform/desktop/Alert.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/HistoryOffer.hpp"
#include "platform/desktop/NotificationCenter.hpp"
#include "platform/desktop/StatusItem.hpp"

#include <functional>
#include <memory>

namespace ampwell::platform {

// The user interface of one process: what the menu-bar application shows and asks. Chosen once at
// start-up (a real desktop, or a headless one that records what a user would have seen) and handed
// to the controller; the controller never asks which one it has.
//
// A desktop drives the retained model the way a user would: clicking the status item opens its
// menu (Menu::open, then the menu is shown as the delegate left it); showing a submenu opens it
// too; choosing an item closes every open menu, innermost first (Menu::close), and then runs
// MenuItem::perform(); dismissing the menu closes it. Views are drawn with MenuView::draw or
// described with MenuView::describe.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual Application& application() = 0;
    virtual StatusBar& statusBar() = 0;
    virtual AlertPresenter& alerts() = 0;
    virtual NotificationCenter& notificationCenter() = 0;
    // The application's history, for a desktop that can open a window of its own for it (an
    // entry beside the menu's, before its last). A desktop without one, such as the headless
    // desktop whose menu stays exactly as the application built it, leaves it unused.
    virtual void offerHistory(HistoryOffer offer) { (void)offer; }
};

class Platform;

// Makes the host's own desktop (a status-bar icon in a tray host, real menus, dialogs and
// notifications), or returns null when none can be reached. Empty when the program has no
// desktop of its own built in.
using NativeDesktopFactory = std::function<std::unique_ptr<Desktop>(Platform&)>;

}  // namespace ampwell::platform
