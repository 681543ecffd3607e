#include "app/entry/ModeContext.hpp"

#include "app/batteries/DeviceBatteryReader.hpp"

#include <stdexcept>

namespace ampwell {

ModeContext::ModeContext(std::vector<std::string> arguments, std::ostream& out, std::ostream& err,
                         PlatformFactory makePlatform)
    : arguments_(std::move(arguments)), out_(out), err_(err), makePlatform_(std::move(makePlatform)) {}

ModeContext::~ModeContext() {
    desktop_.reset();
    // The shared battery worker reads through the platform, so it has to end before the platform.
    if (platform_) DeviceBatteryReader::endWorker();
}

platform::Desktop& ModeContext::desktop() {
    if (!desktop_) {
        if (!makeDesktop_) throw std::logic_error("no desktop to show the application on");
        desktop_ = makeDesktop_(platform());
    }
    return *desktop_;
}

platform::Platform& ModeContext::platform() {
    if (!platform_) platform_ = makePlatform_();
    return *platform_;
}

}  // namespace ampwell
