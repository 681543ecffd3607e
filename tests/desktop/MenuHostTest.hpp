#pragma once

#include "BusHelpers.hpp"
#include "MenuLayout.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <string>

namespace ampwell::tests {

// A tray host reading the menu this process exports at `path`: it calls from a bus connection of
// its own, as the host's process would, while this process's connection serves the menu.
class MenuHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        peer = openPeerConnection();
        name = g_dbus_connection_get_unique_name(bus);
    }
    void TearDown() override {
        g_object_unref(peer);
        g_object_unref(bus);
    }

    LayoutEntry layout() { return readLayout(peer, name, path); }
    bool event(int id, const std::string& what) { return sendMenuEvent(peer, name, path, id, what); }
    bool aboutToShow(int id) { return sendAboutToShow(peer, name, path, id); }

    GDBusConnection* bus = nullptr;
    GDBusConnection* peer = nullptr;
    std::string name;
    std::string path = "/MenuBar";
};

}  // namespace ampwell::tests
