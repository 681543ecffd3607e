#include "tests/unit/support/FakeRefreshConnector.hpp"

#include "contract/PowerRefreshService.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace ampwell::test {
namespace {

class FakeConnection final : public platform::RefreshConnection {
public:
    FakeConnection(std::shared_ptr<FakeRefreshConnector::Connection> state, bool implementsProtocol)
        : state_(std::move(state)), implementsProtocol_(implementsProtocol) {}
    ~FakeConnection() override { state_->released = true; }

    void setInvalidationHandler(std::function<void()> handler) override { state_->invalidation = std::move(handler); }
    void setInterruptionHandler(std::function<void()> handler) override { state_->interruption = std::move(handler); }
    void resume() override { state_->resumed = true; }
    bool requestRefresh(std::function<void(std::uint32_t)> reply, std::function<void()> proxyError) override {
        EXPECT_TRUE(state_->resumed) << "a request on a connection that was not resumed";
        if (!implementsProtocol_) return false;
        state_->requested = true;
        state_->reply = std::move(reply);
        state_->proxyError = std::move(proxyError);
        return true;
    }
    void invalidate() override {
        if (state_->invalidated) return;
        state_->invalidated = true;
        if (state_->invalidation) state_->invalidation();
    }

private:
    std::shared_ptr<FakeRefreshConnector::Connection> state_;
    bool implementsProtocol_;
};

}  // namespace

std::unique_ptr<platform::RefreshConnection> FakeRefreshConnector::connect(const std::string& serviceName,
                                                                           std::uint64_t options) {
    EXPECT_EQ(serviceName, PowerRefreshService::name);
    auto state = std::make_shared<Connection>();
    state->options = options;
    connections_.push_back(state);
    return std::make_unique<FakeConnection>(state, implementsProtocol);
}

}  // namespace ampwell::test
