#pragma once

#include "platform/refresh/RefreshConnection.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ampwell::test {

// A refresh connector whose connections do nothing by themselves: the test plays the service,
// delivering a reply, an invalidation, an interruption or a proxy error when it chooses.
class FakeRefreshConnector final : public platform::RefreshConnector {
public:
    struct Connection {
        std::uint64_t options = 0;
        std::function<void()> invalidation;
        std::function<void()> interruption;
        std::function<void(std::uint32_t)> reply;
        std::function<void()> proxyError;
        bool resumed = false;
        bool requested = false;
        bool invalidated = false;  // by the client
        bool released = false;
    };

    // What the next connections' remote objects answer when asked for the protocol.
    bool implementsProtocol = true;

    std::unique_ptr<platform::RefreshConnection> connect(const std::string& serviceName, std::uint64_t options) override;

    const std::vector<std::shared_ptr<Connection>>& connections() const { return connections_; }
    Connection& last() { return *connections_.back(); }

private:
    std::vector<std::shared_ptr<Connection>> connections_;
};

}  // namespace ampwell::test
