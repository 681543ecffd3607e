#pragma once

#include "platform/Platform.hpp"
#include "platform/base/PlatformError.hpp"
#include "platform/desktop/Desktop.hpp"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// What a mode is handed: its arguments, its two output streams, the platform and the desktop, each
// made on first use (the self-checks never need them, so a missing backend does not stop them).
class ModeContext {
public:
    using PlatformFactory = std::function<std::unique_ptr<platform::Platform>()>;
    // Makes the user interface the application shows itself on, over the platform it runs on.
    using DesktopFactory = std::function<std::unique_ptr<platform::Desktop>(platform::Platform&)>;

    ModeContext(std::vector<std::string> arguments, std::ostream& out, std::ostream& err, PlatformFactory makePlatform);

    const std::vector<std::string>& arguments() const { return arguments_; }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    // Throws platform::PlatformError when the platform cannot be made.
    platform::Platform& platform();
    // Whether a desktop can be made at all (a factory was given).
    bool hasDesktop() const { return static_cast<bool>(makeDesktop_) || desktop_ != nullptr; }
    void setDesktopFactory(DesktopFactory makeDesktop) { makeDesktop_ = std::move(makeDesktop); }
    // Made on first use, over platform(); throws what either factory throws, and
    // std::logic_error when no desktop factory was given.
    platform::Desktop& desktop();

private:
    std::vector<std::string> arguments_;
    std::ostream& out_;
    std::ostream& err_;
    PlatformFactory makePlatform_;
    std::unique_ptr<platform::Platform> platform_;
    DesktopFactory makeDesktop_;
    // After the platform, so that it ends first: a desktop works over the platform.
    std::unique_ptr<platform::Desktop> desktop_;
};

}  // namespace ampwell
