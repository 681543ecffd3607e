#pragma once

#include "app/metrics/FleetState.hpp"
#include "platform/base/Result.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ampwell {

// Where the server listens: a host (an IP address, or "localhost") and a TCP port.
struct ListenAddress {
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;  // 0: any free port (tests)
};

// "[HOST:]PORT": a port from 0 (any free port) to 65535, the host before the last colon (an IPv6 address in
// brackets, "[::1]:9101"). Absent for anything else.
std::optional<ListenAddress> parseListenAddress(std::string_view text);

// Serves the last published FleetState over HTTP: GET /metrics in Prometheus' text format (or
// OpenMetrics when the scraper asks for it), GET / a short page naming the endpoint, 404 for any
// other path and 405 for any other method.
//
// It answers on a thread of its own with its own GLib main context, not on the program's main
// loop: the main loop may spend up to a battery read's timeout waiting on devices, and a scrape
// must not wait for that; and the simulated computer's main queue drives no GLib context at all.
// A scrape only renders the state last published, so it never touches a device.
class MetricsServer {
public:
    explicit MetricsServer(std::string version);
    // Stops serving and joins the thread.
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds and starts answering; the port it listens on, or why it cannot (the address in use,
    // an unknown host). Once only.
    platform::Result<std::uint16_t, std::string> start(const ListenAddress& address);
    // Any thread.
    void publish(const FleetState& state);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ampwell
