#pragma once

#include "platform/base/PropertyValue.hpp"
#include "platform/desktop/UserScript.hpp"
#include "platform/registry/Registry.hpp"
#include "platform/sim/SimEntry.hpp"
#include "platform/sim/SimMobileDevice.hpp"
#include "platform/sim/SimUsbHost.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ampwell::platform::sim {

// The simulation file's "clock".
struct SimClockSettings {
    std::optional<double> start;  // seconds since 1970; absent: the moment the program starts
    double speed = 1;             // 0 frozen, 1 real time, N times real time
    // Seconds after the start at which a run of the application ends as if the user quit.
    std::optional<double> until;
};

// What one timeline event does.
struct SimAddEvent {
    std::vector<SimEntrySpec> entries;  // added as one batch
    bool asList = false;                // the file gave an array of entries
};
struct SimRemoveEvent {
    EntryID id = 0;
};
struct SimSetEvent {
    EntryID id = 0;
    PropertyDictionary properties;        // merged into the entry's properties
    std::vector<std::string> removedKeys;  // keys given as null
};
struct SimMessageEvent {
    EntryID id = 0;
    std::uint32_t type = 0;
};
struct SimMobileEvent {
    SimMobileDeviceUpdate update;
    bool remove = false;
};
// What the scripted user does; the registry is not touched.
struct SimUiEvent {
    UserAction action;
};
using SimTimelineAction =
    std::variant<SimAddEvent, SimRemoveEvent, SimSetEvent, SimMessageEvent, SimMobileEvent, SimUiEvent>;

struct SimTimelineEvent {
    double at = 0;  // seconds after the start
    SimTimelineAction action;
    std::string path;  // JSON path of the action in the file, e.g. $.timeline[2].add
};

// How the simulated connection to the refresh service behaves for one request.
enum class SimRefreshConnectionBehaviour {
    normal,       // the request reaches the daemon and its reply comes back
    invalidated,  // the connection is invalidated before the request reaches the daemon
    interrupted,  // the daemon handles the request, but the connection breaks before the reply
    proxyError,   // the remote proxy reports an error; the daemon never hears of the request
    noProtocol,   // the remote object does not implement the refresh protocol
};

// What the simulated service does for one request ("refreshService" in the simulation file).
struct SimRefreshScript {
    bool batteryManager = true;    // the battery manager service exists
    std::uint32_t open = 0;        // result code of opening it
    std::uint32_t command = 0;     // result code of the refresh command
    std::optional<double> replyDelay = 0.0;  // seconds until the reply reaches the client; absent: never
    SimRefreshConnectionBehaviour connection = SimRefreshConnectionBehaviour::normal;
    // What an accepted refresh command makes happen; each event's `at` counts from the command.
    std::vector<SimTimelineEvent> actions;
};

// The refresh service of the simulated Mac.
struct SimRefreshConnectorSetup {
    // The daemon's files are in place and protected.
    bool installed = true;
    // The user the application runs as; the simulated daemon serves kSimAllowedUserID only.
    std::uint32_t userID = 501;
    // Every request not scripted in `requests`.
    SimRefreshScript script;
    // The first requests to reach the service, in order.
    std::vector<SimRefreshScript> requests;
};

// The user the simulated daemon was installed for.
inline constexpr std::uint32_t kSimAllowedUserID = 501;

// A simulation file, read and checked: everything the simulated Mac is built from.
struct SimulationModel {
    std::string file;
    std::optional<SimClockSettings> clock;  // absent: the host's real clock
    std::optional<double> bootTime;         // seconds since 1970; absent: boot time unknown
    std::vector<SimEntrySpec> registry;     // in registry order
    std::vector<SimMobileDevice> mobileDevices;
    // False: the mobile-device framework cannot be loaded at all ("mobileDeviceService").
    bool mobileDeviceServiceAvailable = true;
    PropertyDictionary defaults;
    std::vector<SimTimelineEvent> timeline;  // in time order
    std::optional<std::string> lockDirectory;
    // "usbHost": the scripted answers of the USB host, by registry entry ID.
    std::map<EntryID, SimUsbScript> usbHost;
    // "ui": the scripted user's answers (its timed actions are timeline events).
    UserScript ui;
    // "refreshService": the privileged refresh service; absent: the component is not installed.
    std::optional<SimRefreshConnectorSetup> refreshService;
};

}  // namespace ampwell::platform::sim
