#include "tests/unit/support/FakeRefreshConnector.hpp"

#include <utility>

namespace ampwell::test {

class FakeRefreshConnector::Connection final : public platform::RefreshConnection {
public:
    explicit Connection(FakeRefreshConnector& owner) : owner_(owner), alive_(std::make_shared<bool>(true)) {}
    ~Connection() override { *alive_ = false; }

    void setInvalidationHandler(std::function<void()> handler) override { invalidation_ = std::move(handler); }
    void setInterruptionHandler(std::function<void()>) override {}
    void resume() override {}
    bool requestRefresh(std::function<void(std::uint32_t)> reply, std::function<void()>) override {
        owner_.requestTimes.push_back(platform::secondsSince1970(owner_.clock_.now()));
        if (!owner_.status) return true;  // a service that never answers
        auto item = std::make_shared<platform::WorkItem>(
            [alive = std::weak_ptr<bool>(alive_), reply = std::move(reply), status = *owner_.status] {
                if (const auto live = alive.lock(); live && *live) reply(status);
            });
        owner_.queue_.postAfter(platform::Seconds(owner_.replyDelay), item);
        return true;
    }
    void invalidate() override {
        *alive_ = false;
        if (auto handler = std::exchange(invalidation_, nullptr)) handler();
    }

private:
    FakeRefreshConnector& owner_;
    std::shared_ptr<bool> alive_;
    std::function<void()> invalidation_;
};

std::unique_ptr<platform::RefreshConnection> FakeRefreshConnector::connect(const std::string&, std::uint64_t) {
    return std::make_unique<Connection>(*this);
}

platform::RefreshInstallation installedRefreshComponent() {
    return {"/helper", "/daemon.plist", [](const std::string&) { return true; }, true};
}

}  // namespace ampwell::test
