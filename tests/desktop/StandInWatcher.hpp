#pragma once

#include <gio/gio.h>

#include <string>
#include <vector>

namespace ampwell::tests {

// A tray host's StatusNotifierWatcher for the tests: owns org.kde.StatusNotifierWatcher on a
// connection of its own, accepts registrations and keeps them in order.
class StandInWatcher {
public:
    // `refusals`: how many registrations are answered with an error first, as by a host that
    // owns the name before it serves the object.
    explicit StandInWatcher(int refusals = 0);
    ~StandInWatcher();
    StandInWatcher(const StandInWatcher&) = delete;
    StandInWatcher& operator=(const StandInWatcher&) = delete;

    // Waits until the name is owned (true) or a timeout.
    bool waitUntilOwned();
    // Bus name the item registered under, and its sender's unique name.
    const std::vector<std::string>& registered() const { return registered_; }
    std::string lastSender() const { return lastSender_; }
    GDBusConnection* connection() const { return connection_; }

private:
    static void methodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);
    static GVariant* property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GError**,
                              gpointer data);

    GDBusConnection* connection_ = nullptr;
    GDBusNodeInfo* info_ = nullptr;
    unsigned objectId_ = 0;
    unsigned ownerId_ = 0;
    bool owned_ = false;
    int refusals_ = 0;
    std::vector<std::string> registered_;
    std::string lastSender_;
};

}  // namespace ampwell::tests
