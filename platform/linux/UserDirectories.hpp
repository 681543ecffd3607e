#pragma once

#include <string>

namespace ampwell::platform::linux_ {

// Where this user's files go, by the XDG base directory rules.
struct UserDirectories {
    std::string configHome;        // $XDG_CONFIG_HOME, else ~/.config
    std::string runtimeDirectory;  // $XDG_RUNTIME_DIR, else a private /tmp/ampwell-<uid>
    std::string stateHome;         // $XDG_STATE_HOME, else ~/.local/state

    std::string defaultsPath() const { return configHome + "/ampwell/defaults.json"; }
    std::string historyPath() const { return stateHome + "/ampwell/history.sqlite3"; }

    // Relative values are ignored, as the XDG rules ask. `home` may be null or empty (then the
    // password database's home directory is used).
    static UserDirectories resolve(const char* xdgConfigHome, const char* xdgRuntimeDir, const char* home,
                                   unsigned userID, const char* xdgStateHome = nullptr);
    static UserDirectories fromEnvironment();
};

// Creates `path` (mode 0700) if needed. True when it is then a real directory owned by `userID`
// that nobody else may enter; a directory someone else prepared in a shared place must not hold
// our lock.
bool preparePrivateDirectory(const std::string& path, unsigned userID);

}  // namespace ampwell::platform::linux_
