#pragma once

#include "platform/desktop/Desktop.hpp"

namespace ampwell::platform {

// The factory of the desktop built into this program for the host (see chooseDesktop).
NativeDesktopFactory nativeDesktopFactory();

}  // namespace ampwell::platform
