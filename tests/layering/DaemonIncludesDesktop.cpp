// Must not compile: the daemon's link line reaches no desktop or drawing layer, so neither header
// is on its include path. The test `layering.daemon-cannot-include-*` builds this and expects
// "No such file or directory".
#if defined(AMPWELL_PROBE_DESKTOP)
#include "platform/desktop/Menu.hpp"
#else
#include "platform/drawing/Canvas.hpp"
#endif
