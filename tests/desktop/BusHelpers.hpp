#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

namespace ampwell::tests {

// Runs the default main context until `done` answers true or `ms` milliseconds pass.
bool spinUntil(const std::function<bool()>& done, int ms = 3000);

// A second connection to the session bus, as another process (the tray host, the notification
// service) would have.
GDBusConnection* openPeerConnection();

// Calls a method from `connection` and runs the main context until the answer arrives, so that
// services exported in this very process can answer. Returns the reply (owned) or nullptr;
// `error` receives the error's message.
GVariant* callAndWait(GDBusConnection* connection, const std::string& name, const std::string& path,
                      const std::string& interface, const std::string& method, GVariant* args,
                      std::string* error = nullptr);

// Reads one property through org.freedesktop.DBus.Properties.Get; the unboxed value or nullptr.
GVariant* getProperty(GDBusConnection* connection, const std::string& name, const std::string& path,
                      const std::string& interface, const std::string& property);

}  // namespace ampwell::tests
