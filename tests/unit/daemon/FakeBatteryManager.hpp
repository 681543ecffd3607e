#pragma once

#include "platform/refresh/BatteryManager.hpp"

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ampwell::test {

// A battery manager that answers with the codes a test sets and records what was done to it, in
// order. Thread-safe enough for one operation queue and a reading test.
class FakeBatteryManager final : public platform::BatteryManager {
public:
    std::atomic<bool> serviceExists{true};
    std::atomic<std::uint32_t> openCode{0};
    std::atomic<std::uint32_t> commandCode{0};

    std::unique_ptr<platform::BatteryManagerService> firstMatchingService(const std::string& className) override {
        ++lookups_;
        if (className != "AppleSmartBatteryManager" || !serviceExists) return nullptr;
        return std::make_unique<Service>(*this);
    }

    int lookups() const { return lookups_; }
    int commands() const { return commands_; }
    int releases() const { return releases_; }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::pair<std::uint32_t, std::vector<std::uint64_t>> lastCall() const {
        std::lock_guard lock(mutex_);
        return lastCall_;
    }

private:
    void note(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }

    struct Connection final : platform::BatteryManagerConnection {
        explicit Connection(FakeBatteryManager& owner) : owner(owner) {}
        ~Connection() override { owner.note("close connection"); }
        std::uint32_t callMethod(std::uint32_t selector, const std::vector<std::uint64_t>& inputs) override {
            ++owner.commands_;
            {
                std::lock_guard lock(owner.mutex_);
                owner.lastCall_ = {selector, inputs};
            }
            owner.note("call");
            return owner.commandCode;
        }
        FakeBatteryManager& owner;
    };
    struct Service final : platform::BatteryManagerService {
        explicit Service(FakeBatteryManager& owner) : owner(owner) {}
        ~Service() override {
            ++owner.releases_;
            owner.note("release service");
        }
        platform::BatteryManagerOpenResult open(std::uint32_t type) override {
            owner.note("open " + std::to_string(type));
            if (owner.openCode != 0) return {owner.openCode, nullptr};
            return {0, std::make_unique<Connection>(owner)};
        }
        FakeBatteryManager& owner;
    };

    std::atomic<int> lookups_{0};
    std::atomic<int> commands_{0};
    std::atomic<int> releases_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::pair<std::uint32_t, std::vector<std::uint64_t>> lastCall_;
};

}  // namespace ampwell::test
