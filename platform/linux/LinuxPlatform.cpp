#include "platform/linux/LinuxPlatform.hpp"

#include "platform/linux/BootTime.hpp"
#include "platform/linux/GLibMainQueue.hpp"
#include "platform/linux/ImobiledeviceService.hpp"
#include "platform/linux/JournalLog.hpp"
#include "platform/linux/JsonFileDefaults.hpp"
#include "platform/linux/LibusbHost.hpp"
#include "platform/linux/LinuxRegistry.hpp"
#include "platform/linux/SysfsTree.hpp"
#include "platform/linux/UserDirectories.hpp"
#include "platform/linux/refresh/LinuxRefreshConnector.hpp"

#include <sys/stat.h>
#include <unistd.h>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kLogIdentifier = "ampwell";

class LinuxPlatform final : public Platform {
public:
    LinuxPlatform(const LinuxPlatformOptions& options, const UserDirectories& directories,
                  const std::string& lockDirectory)
        : procRoot_(options.procRoot.empty() ? kDefaultProcRoot : options.procRoot),
          log_(kLogIdentifier),
          mainQueue_(clock_),
          registry_(options.sysfsRoot.empty() ? kDefaultSysfsRoot : options.sysfsRoot, clock_, &mainQueue_),
          defaults_(options.defaultsPath.empty() ? directories.defaultsPath() : options.defaultsPath,
                    [this](const std::string& line) { log_.write(line); }),
          historyPath_(directories.historyPath()),
          instanceLock_(lockDirectory),
          refreshConnector_(LinuxRefreshConnector::socketPathFromEnvironment()) {}

    Clock& clock() override { return clock_; }
    MainQueue& mainQueue() override { return mainQueue_; }
    Registry& registry() override { return registry_; }
    Defaults& defaults() override { return defaults_; }
    InstanceLock& instanceLock() override { return instanceLock_; }
    SystemLog& systemLog() override { return log_; }
    UsbHost& usbHost() override { return usbHost_; }
    MobileDeviceService& mobileDevices() override { return mobileDevices_; }
    RefreshConnector& refreshConnector() override { return refreshConnector_; }
    RefreshInstallation refreshInstallation() override { return linuxRefreshInstallation(); }
    std::optional<std::int64_t> bootTimeSeconds() override { return BootTime::read(procRoot_); }
    std::string historyPath() override { return historyPath_; }
    std::optional<Seconds> playedHistorySpan() override { return std::nullopt; }

private:
    std::string procRoot_;
    SystemClock clock_;
    JournalLog log_;
    GLibMainQueue mainQueue_;
    LinuxRegistry registry_;
    JsonFileDefaults defaults_;
    std::string historyPath_;
    FileInstanceLock instanceLock_;
    LibusbHost usbHost_;
    ImobiledeviceService mobileDevices_;
    LinuxRefreshConnector refreshConnector_;
};

}  // namespace

std::unique_ptr<Platform> makeLinuxPlatform() { return makeLinuxPlatform(LinuxPlatformOptions{}); }

std::unique_ptr<Platform> makeLinuxPlatform(const LinuxPlatformOptions& options) {
    const auto directories = UserDirectories::fromEnvironment();
    std::string lockDirectory = options.runtimeDirectory.empty() ? directories.runtimeDirectory : options.runtimeDirectory;
    if (!preparePrivateDirectory(lockDirectory, ::geteuid())) {
        // A shared place where someone else made the directory first must not hold our lock file
        // (it could be a link to anywhere): use our own config directory instead. Should even
        // that fail, the lock cannot be made and the program runs without it.
        lockDirectory = directories.configHome + "/ampwell";
        ::mkdir(directories.configHome.c_str(), 0700);
        preparePrivateDirectory(lockDirectory, ::geteuid());
    }
    return std::make_unique<LinuxPlatform>(options, directories, lockDirectory);
}

}  // namespace ampwell::platform::linux_
