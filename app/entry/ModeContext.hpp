#pragma once

#include "platform/Platform.hpp"
#include "platform/PlatformError.hpp"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// What a mode is handed: its arguments, its two output streams, and the platform, made on first
// use (the self-checks never need it, so a missing backend does not stop them).
class ModeContext {
public:
    using PlatformFactory = std::function<std::unique_ptr<platform::Platform>()>;

    ModeContext(std::vector<std::string> arguments, std::ostream& out, std::ostream& err, PlatformFactory makePlatform);

    const std::vector<std::string>& arguments() const { return arguments_; }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    // Throws platform::PlatformError when the platform cannot be made.
    platform::Platform& platform();

private:
    std::vector<std::string> arguments_;
    std::ostream& out_;
    std::ostream& err_;
    PlatformFactory makePlatform_;
    std::unique_ptr<platform::Platform> platform_;
};

}  // namespace ampwell
