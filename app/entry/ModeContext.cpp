#include "app/entry/ModeContext.hpp"

namespace ampwell {

ModeContext::ModeContext(std::vector<std::string> arguments, std::ostream& out, std::ostream& err,
                         PlatformFactory makePlatform)
    : arguments_(std::move(arguments)), out_(out), err_(err), makePlatform_(std::move(makePlatform)) {}

platform::Platform& ModeContext::platform() {
    if (!platform_) platform_ = makePlatform_();
    return *platform_;
}

}  // namespace ampwell
