#include "platform/linux/refresh/LinuxBatteryManager.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace ampwell::platform::linux_ {
namespace {

constexpr const char* kServiceClass = "AppleSmartBatteryManager";
constexpr const char* kClasses[] = {"typec", "power_supply"};
constexpr const char kChange[] = "change";

bool isGone(int error) { return error == ENODEV || error == ENOENT || error == ENXIO; }

class UeventConnection final : public BatteryManagerConnection {
public:
    explicit UeventConnection(std::vector<int> files) : files_(std::move(files)) {}
    ~UeventConnection() override {
        for (const int fd : files_) ::close(fd);
    }

    std::uint32_t callMethod(std::uint32_t selector, const std::vector<std::uint64_t>& scalarInputs) override {
        if (selector != 4) return kIOReturnUnsupported;
        if (scalarInputs != std::vector<std::uint64_t>{4}) return kIOReturnBadArgument;
        std::size_t written = 0;
        bool failed = false;
        for (const int fd : files_) {
            ssize_t result;
            do {
                result = ::write(fd, kChange, sizeof kChange - 1);
            } while (result < 0 && errno == EINTR);
            if (result == static_cast<ssize_t>(sizeof kChange - 1))
                ++written;
            else if (result >= 0 || !isGone(errno))
                failed = true;
        }
        return failed || written == 0 ? kIOReturnIOError : kIOReturnSuccess;
    }

private:
    std::vector<int> files_;
};

class UeventService final : public BatteryManagerService {
public:
    explicit UeventService(std::vector<std::string> files) : files_(std::move(files)) {}

    BatteryManagerOpenResult open(std::uint32_t type) override {
        if (type != 0) return {kIOReturnBadArgument, nullptr};
        std::vector<int> opened;
        bool refused = false;
        for (const auto& path : files_) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
            if (fd >= 0)
                opened.push_back(fd);
            else if (errno == EACCES || errno == EPERM)
                refused = true;
        }
        if (opened.empty()) return {refused ? kIOReturnNotPrivileged : kIOReturnNotFound, nullptr};
        return {kIOReturnSuccess, std::make_unique<UeventConnection>(std::move(opened))};
    }

private:
    std::vector<std::string> files_;
};

}  // namespace

LinuxBatteryManager::LinuxBatteryManager(std::string sysfsRoot) : sysfsRoot_(std::move(sysfsRoot)) {}

std::vector<std::string> LinuxBatteryManager::ueventFiles() const {
    std::vector<std::string> files;
    for (const char* name : kClasses) {
        std::vector<std::string> devices;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(sysfsRoot_ + "/class/" + name, error))
            devices.push_back(entry.path().filename().string());
        std::sort(devices.begin(), devices.end());
        for (const auto& device : devices) files.push_back(sysfsRoot_ + "/class/" + name + "/" + device + "/uevent");
    }
    return files;
}

std::unique_ptr<BatteryManagerService> LinuxBatteryManager::firstMatchingService(const std::string& className) {
    if (className != kServiceClass) return nullptr;
    auto files = ueventFiles();
    if (files.empty()) return nullptr;
    return std::make_unique<UeventService>(std::move(files));
}

}  // namespace ampwell::platform::linux_
