#include "platform/sim/SimulationLoader.hpp"

#include "platform/base/PlatformError.hpp"
#include "platform/base/ReadFile.hpp"
#include "platform/sim/SimIso8601.hpp"
#include "platform/sim/SimJsonNode.hpp"
#include "platform/sim/SimMobileDeviceList.hpp"
#include "platform/sim/SimRegistry.hpp"
#include "platform/sim/SimTimeline.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace ampwell::platform::sim {
namespace {

// A simulation file is written by hand or by a test (the largest we keep is 10 KB); anything
// larger is a mistake, and reading it must stay within a small program's memory.
constexpr std::size_t kMaximumSimulationFileSize = 4 << 20;

// Each section of the file has one reader below. A new key is one more `optional(...)` line in
// the reader of its section (and a field in SimulationModel.hpp); finish() rejects every key no
// reader asked for.

[[noreturn]] void failAt(const std::string& file, const std::string& path, const std::string& what) {
    throw PlatformError(file + ": " + path + ": " + what);
}

// A number from 0 (`what` says what it is: "seconds", "a speed").
double readFromZero(const SimJsonNode& node, const std::string& what) {
    const double value = node.number();
    if (!std::isfinite(value) || value < 0) node.fail("expected " + what + " from 0, found " + node.json().dump());
    return value;
}

// Seconds since 1970 or a span of seconds: up to the latest date, so that every time the
// simulation derives from them stays a date.
double readSeconds(const SimJsonNode& node) {
    const double value = readFromZero(node, "seconds");
    if (value > kLatestSecondsSince1970)
        node.fail(fmt::format("expected at most {:.0f} seconds (9999-12-31T23:59:59Z), found {}",
                              kLatestSecondsSince1970, node.json().dump()));
    return value;
}

// Faster clocks would leave the range of dates within a few seconds of real time.
constexpr double kFastestSpeed = 1e6;

double readSpeed(const SimJsonNode& node) {
    const double value = readFromZero(node, "a speed");
    if (value > kFastestSpeed)
        node.fail(fmt::format("expected a speed of at most {:.0f}, found {}", kFastestSpeed, node.json().dump()));
    return value;
}

SimClockSettings readClock(const SimJsonNode& node) {
    auto object = node.object();
    SimClockSettings clock;
    if (auto start = object.optional("start")) {
        if (start->json().is_string()) {
            clock.start = parseIso8601(start->string());
            if (!clock.start)
                start->fail("expected an ISO 8601 date-time such as \"2026-12-06T22:30:16Z\", found " +
                            jsonQuoted(start->string()));
            if (*clock.start < 0 || *clock.start > kLatestSecondsSince1970)
                start->fail("expected a date-time from 1970-01-01T00:00:00Z to 9999-12-31T23:59:59Z, found " +
                            jsonQuoted(start->string()));
        } else if (start->json().is_number()) {
            clock.start = readSeconds(*start);
        } else {
            start->fail("expected an ISO 8601 date-time text or seconds since 1970, found " + start->kindText());
        }
    }
    if (auto speed = object.optional("speed")) clock.speed = readSpeed(*speed);
    if (auto until = object.optional("until")) clock.until = readSeconds(*until);
    object.finish();
    return clock;
}

std::map<std::string, std::optional<EntryID>> readPlanes(const SimJsonNode& node) {
    std::map<std::string, std::optional<EntryID>> planes;
    for (auto& [plane, parent] : node.object().members()) {
        if (plane.empty()) parent.fail("a plane needs a name");
        planes.emplace(plane, parent.isNull() ? std::nullopt : std::optional<EntryID>(parent.entryID()));
    }
    return planes;
}

SimEntrySpec readEntry(const SimJsonNode& node) {
    auto object = node.object();
    SimEntrySpec entry;
    entry.id = object.required("id").entryID();
    entry.className = object.required("class").name();
    if (auto conforms = object.optional("conforms"))
        for (const auto& name : conforms->items()) entry.conforms.push_back(name.name());
    if (auto planes = object.optional("planes")) entry.planes = readPlanes(*planes);
    if (auto properties = object.optional("properties")) entry.properties = properties->propertyDictionary();
    if (auto fail = object.optional("propertiesFail")) entry.propertiesFail = fail->boolean();
    object.finish();
    return entry;
}

std::vector<SimEntrySpec> readRegistry(const SimJsonNode& node) {
    std::vector<SimEntrySpec> entries;
    for (const auto& item : node.items()) entries.push_back(readEntry(item));
    return entries;
}

std::int32_t readCode(const SimJsonNode& node) { return static_cast<std::int32_t>(node.code32()); }

SimMobileDeviceUpdate readMobileDevice(const SimJsonNode& node) {
    auto object = node.object();
    SimMobileDeviceUpdate device;
    device.identifier = object.required("identifier").name();
    if (auto serial = object.optional("usbSerial")) {
        if (serial->isNull())
            device.clearUsbSerial = true;
        else
            device.usbSerial = serial->string();
    }
    if (auto type = object.optional("interfaceType")) {
        if (type->isNull())
            device.clearInterfaceType = true;
        else
            device.interfaceType = readCode(*type);
    }
    if (auto code = object.optional("connect")) device.connect = readCode(*code);
    if (auto code = object.optional("paired")) device.paired = readCode(*code);
    if (auto code = object.optional("validatePairing")) device.validatePairing = readCode(*code);
    if (auto code = object.optional("startSession")) device.startSession = readCode(*code);
    if (auto delay = object.optional("readDelay")) device.readDelay = readSeconds(*delay);
    if (auto values = object.optional("values"))
        for (auto& [domain, dictionary] : values->object().members()) device.values.emplace(domain, dictionary.propertyDictionary());
    if (auto entries = object.optional("ioregistry")) {
        device.ioregistry.emplace();
        for (auto& [name, dictionary] : entries->object().members())
            device.ioregistry->emplace(name, dictionary.propertyDictionary());
    }
    object.finish();
    return device;
}

std::vector<SimMobileDevice> readMobileDevices(const SimJsonNode& node) {
    std::vector<SimMobileDevice> devices;
    std::map<std::string, std::string> seen;  // identifier → where it was first listed
    for (const auto& item : node.items()) {
        auto update = readMobileDevice(item);
        const auto [first, added] = seen.emplace(update.identifier, item.path());
        if (!added)
            SimJsonNode(item.json()["identifier"], jsonPathKey(item.path(), "identifier"), item.file())
                .fail("the identifier " + jsonQuoted(update.identifier) + " is already listed at " + first->second);
        devices.push_back(applyUpdate(SimMobileDevice{}, update));
    }
    return devices;
}

SimAddEvent readAdd(const SimJsonNode& node) {
    SimAddEvent add;
    if (!node.isArray()) {
        add.entries.push_back(readEntry(node));
        return add;
    }
    add.asList = true;
    for (const auto& item : node.items()) add.entries.push_back(readEntry(item));
    if (add.entries.empty()) node.fail("an add needs at least one entry");
    return add;
}

SimSetEvent readSet(const SimJsonNode& node) {
    auto object = node.object();
    SimSetEvent set;
    set.id = object.required("id").entryID();
    for (auto& [key, value] : object.required("properties").object().members()) {
        if (value.isNull())
            set.removedKeys.push_back(key);
        else
            set.properties.emplace(key, value.propertyValue());
    }
    object.finish();
    return set;
}

SimMessageEvent readMessage(const SimJsonNode& node) {
    auto object = node.object();
    SimMessageEvent message;
    message.id = object.required("id").entryID();
    message.type = object.required("type").code32();
    object.finish();
    return message;
}

SimMobileEvent readMobile(const SimJsonNode& node) {
    SimMobileEvent mobile;
    auto object = node.object();
    if (!object.has("remove")) {
        mobile.update = readMobileDevice(node);
        return mobile;
    }
    mobile.update.identifier = object.required("identifier").name();
    const auto remove = object.required("remove");
    if (!remove.boolean()) remove.fail("remove is true or left out");
    mobile.remove = true;
    for (auto& [key, value] : object.members())
        if (key != "identifier" && key != "remove") value.fail("a removal has only \"identifier\" and \"remove\"");
    return mobile;
}

// A text that must be one of `choices`; the message lists them.
std::string readChoice(const SimJsonNode& node, const std::vector<std::string>& choices) {
    const std::string value = node.string();
    for (const auto& choice : choices)
        if (value == choice) return value;
    std::string expected;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0) expected += i + 1 == choices.size() ? " or " : ", ";
        expected += jsonQuoted(choices[i]);
    }
    node.fail("expected " + expected + ", found " + jsonQuoted(value));
}

// "ui": {"alertAnswers": [titles], "notifications": status, "onRequest": status}.
UserScript readUserScript(const SimJsonNode& node) {
    auto object = node.object();
    UserScript script;
    if (auto answers = object.optional("alertAnswers"))
        for (const auto& answer : answers->items()) script.alertAnswers.push_back(answer.name());
    if (auto status = object.optional("notifications"))
        script.notifications =
            readChoice(*status, {"notDetermined", "denied", "authorized", "provisional", "ephemeral"});
    if (auto answer = object.optional("onRequest")) script.onRequest = readChoice(*answer, {"authorized", "denied"});
    object.finish();
    return script;
}

// A timeline "ui": one of {"open": "menu" | "reset"}, {"close": "menu"}, {"click": [titles]} and
// {"notification": "reset-ipad-usb" | "ignore" | "default"}.
SimUiEvent readUiEvent(const SimJsonNode& node) {
    auto object = node.object();
    std::optional<SimJsonNode> chosen;
    std::string name;
    for (const char* key : {"open", "close", "click", "notification"}) {
        auto found = object.optional(key);
        if (!found) continue;
        if (chosen) found->fail("a ui event does one thing; it already has \"" + name + "\"");
        chosen = found;
        name = key;
    }
    object.finish();
    if (!chosen) node.fail("a ui event needs one of \"open\", \"close\", \"click\" or \"notification\"");
    SimUiEvent event;
    UserAction& action = event.action;
    action.origin = node.file() + ": " + chosen->path();
    if (name == "open") {
        const bool main = readChoice(*chosen, {"menu", "reset"}) == "menu";
        action.kind = main ? UserAction::Kind::openMenu : UserAction::Kind::openResetMenu;
    } else if (name == "close") {
        readChoice(*chosen, {"menu"});
        action.kind = UserAction::Kind::closeMenu;
    } else if (name == "click") {
        action.kind = UserAction::Kind::click;
        for (const auto& title : chosen->items()) action.titlePath.push_back(title.name());
        if (action.titlePath.empty()) chosen->fail("a click needs the title of at least one item");
    } else {
        action.kind = UserAction::Kind::answerNotification;
        action.response = readChoice(*chosen, {"reset-ipad-usb", "ignore", "default"});
    }
    return event;
}

const char* const kActions[] = {"add", "remove", "set", "message", "mobile", "ui"};

// One timed event; `timeKey` names its time ("at" on the timeline, "after" for a refresh's actions).
SimTimelineEvent readEvent(const SimJsonNode& node, double previousAt, const char* timeKey = "at") {
    auto object = node.object();
    SimTimelineEvent event;
    const auto at = object.required(timeKey);
    event.at = readSeconds(at);
    if (event.at < previousAt)
        at.fail(fmt::format("the event {} {} comes before the previous one ({}); events are in time order", timeKey,
                            event.at, previousAt));
    std::optional<SimJsonNode> action;
    std::string name;
    for (const char* key : kActions) {
        auto found = object.optional(key);
        if (!found) continue;
        if (action) found->fail("an event does one thing; it already has \"" + name + "\"");
        action = found;
        name = key;
    }
    object.finish();
    if (!action)
        node.fail("an event needs one of \"add\", \"remove\", \"set\", \"message\", \"mobile\" or \"ui\"");
    event.path = action->path();
    if (name == "add") event.action = readAdd(*action);
    if (name == "remove") event.action = SimRemoveEvent{action->entryID()};
    if (name == "set") event.action = readSet(*action);
    if (name == "message") event.action = readMessage(*action);
    if (name == "mobile") event.action = readMobile(*action);
    if (name == "ui") {
        if (std::string(timeKey) != "at") action->fail("the user acts on the timeline, not in a refresh's actions");
        event.action = readUiEvent(*action);
    }
    return event;
}

std::vector<SimTimelineEvent> readTimeline(const SimJsonNode& node, const char* timeKey = "at") {
    std::vector<SimTimelineEvent> events;
    double previousAt = 0;
    for (const auto& item : node.items()) {
        events.push_back(readEvent(item, previousAt, timeKey));
        previousAt = events.back().at;
    }
    return events;
}

// The keys a refresh script may have, at the top of "refreshService" and in each of "requests";
// a key present overrides what `script` starts with.
void readRefreshScript(SimJsonObject& object, SimRefreshScript& script) {
    if (auto present = object.optional("batteryManager")) script.batteryManager = present->boolean();
    if (auto code = object.optional("open")) script.open = code->code32();
    if (auto code = object.optional("command")) script.command = code->code32();
    if (auto reply = object.optional("reply")) {
        if (reply->json().is_string()) {
            const std::string when = reply->string();
            if (when != "never") reply->fail("expected seconds until the reply or \"never\", found " + jsonQuoted(when));
            script.replyDelay.reset();
        } else {
            script.replyDelay = readSeconds(*reply);
        }
    }
    if (auto connection = object.optional("connection")) {
        static const std::map<std::string, SimRefreshConnectionBehaviour> kBehaviours{
            {"normal", SimRefreshConnectionBehaviour::normal},
            {"invalidated", SimRefreshConnectionBehaviour::invalidated},
            {"interrupted", SimRefreshConnectionBehaviour::interrupted},
            {"proxyError", SimRefreshConnectionBehaviour::proxyError},
            {"noProtocol", SimRefreshConnectionBehaviour::noProtocol}};
        const std::string name = connection->string();
        const auto found = kBehaviours.find(name);
        if (found == kBehaviours.end())
            connection->fail("expected \"normal\", \"invalidated\", \"interrupted\", \"proxyError\" or "
                             "\"noProtocol\", found " + jsonQuoted(name));
        script.connection = found->second;
    }
    if (auto actions = object.optional("actions")) script.actions = readTimeline(*actions, "after");
}

SimRefreshConnectorSetup readRefreshService(const SimJsonNode& node) {
    auto object = node.object();
    SimRefreshConnectorSetup setup;
    if (auto installed = object.optional("installed")) setup.installed = installed->boolean();
    if (auto user = object.optional("userID")) setup.userID = user->code32();
    readRefreshScript(object, setup.script);
    const auto requests = object.optional("requests");
    object.finish();
    if (requests) {
        for (const auto& item : requests->items()) {
            auto entry = item.object();
            SimRefreshScript script = setup.script;
            readRefreshScript(entry, script);
            entry.finish();
            setup.requests.push_back(std::move(script));
        }
    }
    return setup;
}

// A refresh's actions may only name entries that the registry or the timeline brings, so that a
// typo in an ID does not pass silently.
void checkRefreshActionIDs(const SimulationModel& model) {
    std::set<EntryID> known;
    for (const auto& entry : model.registry) known.insert(entry.id);
    auto learn = [&known](const std::vector<SimTimelineEvent>& events) {
        for (const auto& event : events)
            if (const auto* add = std::get_if<SimAddEvent>(&event.action))
                for (const auto& entry : add->entries) known.insert(entry.id);
    };
    learn(model.timeline);
    std::vector<const SimRefreshScript*> scripts{&model.refreshService->script};
    for (const auto& script : model.refreshService->requests) scripts.push_back(&script);
    for (const auto* script : scripts) learn(script->actions);
    for (const auto* script : scripts) {
        for (const auto& event : script->actions) {
            std::optional<EntryID> id;
            if (const auto* remove = std::get_if<SimRemoveEvent>(&event.action)) id = remove->id;
            if (const auto* set = std::get_if<SimSetEvent>(&event.action)) id = set->id;
            if (const auto* message = std::get_if<SimMessageEvent>(&event.action)) id = message->id;
            if (id && known.count(*id) == 0) {
                const std::string path = std::holds_alternative<SimRemoveEvent>(event.action) ? event.path
                                                                                              : jsonPathKey(event.path, "id");
                failAt(model.file, path, "no entry " + std::to_string(*id) + " is in the registry or added by the timeline");
            }
        }
    }
}

UsbHostError readUsbHostError(const SimJsonNode& node) {
    auto object = node.object();
    UsbHostError error;
    error.domain = object.required("domain").name();
    error.code = static_cast<std::int32_t>(object.required("code").code32());
    error.description = object.required("description").string();
    object.finish();
    return error;
}

// "usbHost": [{"id": …, "open": error, "reset": error}]; an absent call succeeds.
std::map<EntryID, SimUsbScript> readUsbHost(const SimJsonNode& node) {
    std::map<EntryID, SimUsbScript> scripts;
    std::map<EntryID, std::string> seen;  // ID → where it was first scripted
    for (const auto& item : node.items()) {
        auto object = item.object();
        const auto idNode = object.required("id");
        const EntryID id = idNode.entryID();
        SimUsbScript script;
        if (auto open = object.optional("open")) script.openError = readUsbHostError(*open);
        if (auto reset = object.optional("reset")) script.resetError = readUsbHostError(*reset);
        object.finish();
        const auto [first, added] = seen.emplace(id, item.path());
        if (!added) idNode.fail("the entry " + std::to_string(id) + " is already scripted at " + first->second);
        scripts.emplace(id, std::move(script));
    }
    return scripts;
}

// Every scripted ID must name an entry of the registry or of a timeline "add", so that a typo
// in an ID does not pass silently.
void checkUsbHostIDs(const SimulationModel& model, const SimJsonNode& node) {
    std::set<EntryID> known;
    for (const auto& entry : model.registry) known.insert(entry.id);
    for (const auto& event : model.timeline)
        if (const auto* add = std::get_if<SimAddEvent>(&event.action))
            for (const auto& entry : add->entries) known.insert(entry.id);
    for (const auto& item : node.items()) {
        const auto idNode = item.object().required("id");
        if (known.count(idNode.entryID()) == 0)
            idNode.fail("no entry " + std::to_string(idNode.entryID()) + " is in the registry or added by the timeline");
    }
}

std::string fieldPath(std::string path, const std::vector<std::string>& field) {
    for (const auto& key : field) path = jsonPathKey(path, key);
    return path;
}

// Plays the registry and the timeline on a scratch registry, so that an ID used twice, a
// missing parent, a cycle, or an event naming something not present at its time is found
// before the program starts, with its place in the file.
void checkAgainstRegistry(const SimulationModel& model) {
    SimRegistry registry;
    try {
        registry.addEntries(model.registry);
    } catch (const SimRegistryError& error) {
        failAt(model.file, fieldPath(jsonPathIndex("$.registry", error.index()), error.field()), error.what());
    }
    SimMobileDeviceList devices(model.mobileDevices);
    for (const auto& event : model.timeline) {
        try {
            applyTimelineEvent(event, registry, devices);
        } catch (const SimRegistryError& error) {
            std::string path = event.path;
            if (const auto* add = std::get_if<SimAddEvent>(&event.action))
                path = fieldPath(add->asList ? jsonPathIndex(path, error.index()) : path, error.field());
            else if (!std::holds_alternative<SimRemoveEvent>(event.action))
                path = jsonPathKey(path, "id");
            failAt(model.file, path, error.what());
        } catch (const std::invalid_argument&) {
            const auto& mobile = std::get<SimMobileEvent>(event.action);
            failAt(model.file, jsonPathKey(event.path, "identifier"),
                   "no mobile device " + jsonQuoted(mobile.update.identifier) + " is listed at this time");
        }
    }
}

SimulationModel readSimulation(const std::string& text, const std::string& file) {
    const nlohmann::json document = parseJsonDocument(text, file);
    auto top = SimJsonNode(document, "$", file).object();

    const auto format = top.required("format");
    if (format.string() != kSimulationFormat)
        format.fail("unknown format " + jsonQuoted(format.string()) + " (this program reads " +
                    jsonQuoted(kSimulationFormat) + ")");
    const auto clock = top.optional("clock");
    const auto bootTime = top.optional("bootTime");
    const auto registry = top.optional("registry");
    const auto mobileDevices = top.optional("mobileDevices");
    const auto mobileDeviceService = top.optional("mobileDeviceService");
    const auto defaults = top.optional("defaults");
    const auto timeline = top.optional("timeline");
    const auto lockDirectory = top.optional("lockDirectory");
    const auto usbHost = top.optional("usbHost");
    const auto ui = top.optional("ui");
    const auto refreshService = top.optional("refreshService");
    top.finish();

    SimulationModel model;
    model.file = file;
    if (clock) model.clock = readClock(*clock);
    if (bootTime) {
        model.bootTime = readSeconds(*bootTime);
        if (model.clock && model.clock->start) {
            if (*model.bootTime > *model.clock->start) bootTime->fail("the boot time is later than clock.start");
        } else if (*model.bootTime > secondsSince1970(SystemClock().now())) {
            // Without a start the clock starts at the host's time, which the boot cannot follow.
            bootTime->fail("the boot time is later than the current time");
        }
    }
    if (registry) model.registry = readRegistry(*registry);
    if (mobileDevices) model.mobileDevices = readMobileDevices(*mobileDevices);
    if (mobileDeviceService) {
        const std::string state = mobileDeviceService->string();
        if (state != "available" && state != "unavailable")
            mobileDeviceService->fail("expected \"available\" or \"unavailable\", found " + jsonQuoted(state));
        model.mobileDeviceServiceAvailable = state == "available";
    }
    if (defaults) model.defaults = defaults->propertyDictionary();
    if (timeline) model.timeline = readTimeline(*timeline);
    if (lockDirectory) model.lockDirectory = lockDirectory->name();
    if (usbHost) model.usbHost = readUsbHost(*usbHost);
    if (ui) model.ui = readUserScript(*ui);
    if (refreshService) model.refreshService = readRefreshService(*refreshService);
    checkAgainstRegistry(model);
    if (usbHost) checkUsbHostIDs(model, *usbHost);
    if (model.refreshService) checkRefreshActionIDs(model);
    return model;
}

}  // namespace

SimulationModel parseSimulation(const std::string& text, const std::string& file) {
    try {
        return readSimulation(text, file);
    } catch (const PlatformError&) {
        throw;
    } catch (const std::exception& error) {
        // Whatever else goes wrong (a library's own exception, memory running out) still names the
        // file, on one line.
        std::string what = error.what();
        std::replace_if(what.begin(), what.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        throw PlatformError(file + ": $: cannot be used: " + what);
    }
}

SimulationModel loadSimulationFile(const std::string& path) {
    const auto text = readWholeFile(path, kMaximumSimulationFileSize);
    if (!text) throw PlatformError(path + ": $: cannot be read: " + readFailureText(text.error(), kMaximumSimulationFileSize));
    return parseSimulation(*text, path);
}

}  // namespace ampwell::platform::sim
