#pragma once

#include <functional>
#include <string>

namespace ampwell {

// Called after a view has drawn: the text it drew (the power figure, or the footnote's trend)
// and whether the view's window was on screen. Set only while the sampling trace is on; an
// empty function means absent.
using RenderCallback = std::function<void(const std::string& text, bool windowVisible)>;

}  // namespace ampwell
