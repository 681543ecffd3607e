#include "platform/desktop/headless/HeadlessEventText.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <functional>

namespace ampwell::platform::headless {
namespace {

using Json = nlohmann::json;

// Longer informative texts are cut here in the readable line (the JSON log keeps them whole).
constexpr std::size_t kInformativeCodePoints = 48;

std::string timeOfDay(Date time) {
    const double seconds = secondsSince1970(time);
    const auto millis = static_cast<std::int64_t>(std::floor(seconds * 1000 + 0.5));
    const std::time_t whole = static_cast<std::time_t>(millis >= 0 ? millis / 1000 : (millis - 999) / 1000);
    std::tm parts{};
    gmtime_r(&whole, &parts);
    return fmt::format("{:02}:{:02}:{:02}.{:03}", parts.tm_hour, parts.tm_min, parts.tm_sec,
                       static_cast<int>(millis - static_cast<std::int64_t>(whole) * 1000));
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return text;
}

// The first `limit` code points of UTF-8 `text`, with "…" when something was cut.
std::string shortened(const std::string& text, std::size_t limit) {
    std::size_t points = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (points++ == limit) return text.substr(0, i) + "…";
    }
    return text;
}

std::string text(const Json& fields, const char* key) {
    const auto found = fields.find(key);
    if (found == fields.end() || found->is_null()) return {};
    return oneLine(found->is_string() ? found->get<std::string>() : found->dump());
}

bool flag(const Json& fields, const char* key) {
    const auto found = fields.find(key);
    return found != fields.end() && found->is_boolean() && found->get<bool>();
}

std::string joined(const Json& items, const char* separator, const std::function<std::string(const Json&)>& describe) {
    std::string line;
    if (!items.is_array()) return line;
    for (const auto& item : items) {
        if (!line.empty()) line += separator;
        line += describe(item);
    }
    return line;
}

std::string quotedText(const Json& item) { return item.is_string() ? item.get<std::string>() : item.dump(); }

// A view shown as its texts, in brackets.
std::string viewText(const Json& view) {
    const std::string kind = text(view, "kind");
    std::string shown;
    auto add = [&](const char* key) {
        const std::string part = text(view, key);
        if (part.empty()) return;
        if (!shown.empty()) shown += " · ";
        shown += part;
    };
    if (kind == "overview") {
        add("power");
        add("caption");
        add("status");
    } else if (kind == "card") {
        add("name");
        add("power");
        add("battery");
        add("electrical");
    } else if (kind == "footnote") {
        add("trend");
        if (flag(view, "warning")) shown = "⚠ " + shown;
    } else {
        shown = view.dump();
    }
    return "[" + shown + "]";
}

std::string itemText(const Json& item, ShortcutStyle shortcuts) {
    if (flag(item, "separator")) return "—";
    if (item.contains("view")) return viewText(item["view"]);
    std::string shown = text(item, "title");
    if (flag(item, "checked")) shown = "✓ " + shown;
    const std::string key = shortcutText(text(item, "key"), shortcuts);
    if (!key.empty()) shown += " " + key;
    if (item.contains("submenu")) shown += " ▸";
    const auto enabled = item.find("enabled");
    if (enabled != item.end() && enabled->is_boolean() && !enabled->get<bool>()) shown = "(" + shown + ")";
    return shown;
}

std::string statusItemText(const Json& fields) {
    std::string shown = flag(fields, "visible") ? "shown" : "hidden";
    shown += " · icon " + text(fields, "image");
    const std::string title = text(fields, "title");
    if (!title.empty()) shown += " · title \"" + title + "\"";
    const std::string label = text(fields, "accessibilityLabel");
    if (!label.empty()) shown += " · " + label;
    // The tooltip's second line is the detail that often changes alone (the battery trend).
    const auto tooltip = fields.find("tooltip");
    if (tooltip != fields.end() && tooltip->is_string()) {
        const std::string whole = tooltip->get<std::string>();
        const auto first = whole.find('\n');
        if (first != std::string::npos) {
            const auto second = whole.find('\n', first + 1);
            const std::string detail = oneLine(whole.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
            if (!detail.empty()) shown += " — " + detail;
        }
    }
    return shown;
}

std::string alertText(const Json& fields) {
    std::string shown = "\"" + text(fields, "message") + "\"";
    const std::string informative = text(fields, "informative");
    if (!informative.empty()) shown += " " + shortened(informative, kInformativeCodePoints);
    shown += " [" + joined(fields.value("buttons", Json::array()), " | ", quotedText) + "]";
    const std::string answer = text(fields, "answer");
    if (!answer.empty()) shown += " → " + answer;
    return shown;
}

std::string notificationText(const Json& fields) {
    std::string shown = "\"" + text(fields, "title") + "\" " + text(fields, "body");
    const Json actions = fields.value("actions", Json::array());
    if (!actions.empty()) shown += " [" + joined(actions, " | ", quotedText) + "]";
    return shown;
}

std::string usbResetText(const Json& fields) {
    std::string shown = "entry " + text(fields, "entryID") + ": " + text(fields, "result");
    const std::string code = text(fields, "code");
    if (!code.empty()) shown += " (" + code + ")";
    return shown;
}

std::string clickText(const Json& fields) {
    std::string shown = joined(fields.value("path", Json::array()), " › ", quotedText);
    if (flag(fields, "missed")) shown += " (missed: no enabled item there)";
    return shown;
}

}  // namespace

std::string eventLine(Date time, const std::string& event, const Json& fields, ShortcutStyle shortcuts) {
    std::string label;
    std::string shown;
    if (event == "status-item") {
        label = "menu bar";
        shown = statusItemText(fields);
    } else if (event == "menu") {
        label = text(fields, "menu") == "reset" ? "reset menu" : "menu";
        shown = "opens: " + joined(fields.value("items", Json::array()), " | ",
                                   [shortcuts](const Json& item) { return itemText(item, shortcuts); });
    } else if (event == "menu-closed") {
        label = text(fields, "menu") == "reset" ? "reset menu" : "menu";
        shown = "closes";
    } else if (event == "authorization-request") {
        label = "permission";
        shown = "Ampwell asks to show notifications → " + text(fields, "status");
    } else if (event == "click") {
        label = "user clicks";
        shown = clickText(fields);
    } else if (event == "alert") {
        label = "dialog";
        shown = alertText(fields);
    } else if (event == "notification") {
        label = "notification";
        shown = notificationText(fields);
    } else if (event == "notification-removed") {
        label = "notification";
        shown = "withdrawn: " + text(fields, "identifier");
    } else if (event == "notification-response") {
        label = "user answers";
        shown = "the notification → " + text(fields, "action");
        if (flag(fields, "missed")) shown += " (missed: no notification is shown)";
    } else if (event == "log") {
        label = "system log";
        shown = text(fields, "text");
    } else if (event == "terminate") {
        label = "quit";
        shown = "Ampwell ends";
    } else if (event == "usb-reset") {
        label = "USB reset";
        shown = usbResetText(fields);
    } else if (event == "refresh-request") {
        label = "power refresh";
        shown = "request " + text(fields, "request") + " " + text(fields, "state");
        if (fields.contains("status")) shown += " (status " + text(fields, "status") + ")";
        if (flag(fields, "discarded")) shown += ", answer discarded";
    } else if (event == "defaults-write") {
        label = "setting saved";
        shown = text(fields, "key") + " = " + (fields.contains("value") ? fields["value"].dump() : "null");
    } else {
        label = event;
        shown = oneLine(fields.dump(-1, ' ', false, Json::error_handler_t::replace));
    }
    return fmt::format("{}  {:<13} {}", timeOfDay(time), label, shown);
}

}  // namespace ampwell::platform::headless
