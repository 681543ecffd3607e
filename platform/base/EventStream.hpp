#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace ampwell::platform {

// Where the things a user would have seen, and the simulated machine's own side effects, are told
// when no real desktop shows them: the headless desktop prints each event as a readable line and,
// when asked, appends it as a JSON line. Main thread only.
class EventStream {
public:
    virtual ~EventStream() = default;

    // `event` is the event's name ("status-item", "menu", "usb-reset", ...); `fields` is an object
    // with the event's own keys. The stream adds "event" and "time" itself.
    virtual void emit(const std::string& event, const nlohmann::json& fields) = 0;
};

}  // namespace ampwell::platform
