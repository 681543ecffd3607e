#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ampwell::tests {

// A desktop notification service for the tests: owns org.freedesktop.Notifications on a
// connection of its own, answers with the given capabilities and keeps every Notify call.
class StandInNotificationServer {
public:
    struct Posted {
        std::uint32_t id = 0;
        std::uint32_t replacesId = 0;
        std::string appName;
        std::string summary;
        std::string body;
        std::vector<std::string> actions;  // identifier, title, identifier, title, ...
        std::string desktopEntry;
        std::string appIcon;
        std::int32_t expireTimeout = -1;
        bool resident = false;
    };

    explicit StandInNotificationServer(std::vector<std::string> capabilities = {"actions", "body"});
    ~StandInNotificationServer();
    StandInNotificationServer(const StandInNotificationServer&) = delete;
    StandInNotificationServer& operator=(const StandInNotificationServer&) = delete;

    bool waitUntilOwned();
    const std::vector<Posted>& posted() const { return posted_; }
    // The ids CloseNotification was called with, in order.
    const std::vector<std::uint32_t>& closedByClient() const { return closedByClient_; }
    // What a click on a notification's button (or its body: "default") sends.
    void invokeAction(std::uint32_t id, const std::string& action);
    // The notification went away (reason 2: dismissed by the user).
    void close(std::uint32_t id, std::uint32_t reason = 2);

private:
    static void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);

    GDBusConnection* connection_ = nullptr;
    GDBusNodeInfo* info_ = nullptr;
    unsigned objectId_ = 0;
    unsigned ownerId_ = 0;
    bool owned_ = false;
    std::vector<std::string> capabilities_;
    std::vector<Posted> posted_;
    std::vector<std::uint32_t> closedByClient_;
    std::uint32_t nextId_ = 1;
};

}  // namespace ampwell::tests
