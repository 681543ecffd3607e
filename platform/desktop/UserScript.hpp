#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform {

// One thing a scripted user does at a given moment, as a person at the desk would.
struct UserAction {
    enum class Kind {
        openMenu,            // opens the main menu
        closeMenu,           // closes the main menu
        openResetMenu,       // opens the submenu of reset targets
        click,               // chooses the item reached by `titlePath` from the main menu
        answerNotification,  // answers the last posted notification with `response`
        quit,                // chooses the quit item (the end of a scripted run)
    };
    Kind kind = Kind::openMenu;
    std::vector<std::string> titlePath;  // click: item titles, from the main menu down
    // answerNotification: an action identifier ("reset-ipad-usb", "ignore") or "default" for a
    // click on the notification's body.
    std::string response;
    // Where the action was written ("desk.json: $.timeline[3].ui.click"), for messages about it.
    std::string origin;
};

// The person in front of a simulated machine: how they answer dialogs and the notification
// permission, and what they do when. A real machine has none (Platform::userScript() is nullptr).
struct UserScript {
    // Button titles used for the dialogs, in order; once none is left a dialog gets its first
    // button.
    std::vector<std::string> alertAnswers;
    // The notification authorisation at start: "notDetermined", "denied", "authorized",
    // "provisional" or "ephemeral".
    std::string notifications = "notDetermined";
    // What asking for authorisation yields: "authorized" or "denied".
    std::string onRequest = "authorized";

    // Called on the main thread at each scripted action's time, by the platform's timeline. The
    // desktop that carries the actions out installs it; without one the actions pass unseen.
    std::function<void(const UserAction&)> perform;
};

}  // namespace ampwell::platform
