#pragma once

#include "platform/Platform.hpp"
#include "platform/base/PlatformError.hpp"
#include "platform/desktop/Desktop.hpp"

#include <functional>
#include <iosfwd>
#include <memory>

namespace ampwell::platform {

// What the choice is made from: the environment's AMPWELL_UI and AMPWELL_UI_LOG (null when unset),
// where the headless desktop prints, and where the one-line notes go.
struct DesktopEnvironment {
    const char* ui = nullptr;
    const char* uiLog = nullptr;
    std::ostream& out;
    std::ostream& err;
};

// The desktop for this run. AMPWELL_UI "headless": the headless desktop; "desktop": the native one,
// and a PlatformError when it cannot be reached; unset or empty: the native one when it can be
// reached, otherwise the headless one, saying so once on `err`. Any other value is a PlatformError
// naming it, as is an AMPWELL_UI_LOG file that cannot be opened for appending.
std::unique_ptr<Desktop> chooseDesktop(Platform& platform, const DesktopEnvironment& environment,
                                       const NativeDesktopFactory& native);

}  // namespace ampwell::platform
