#include "app/entry/Modes.hpp"

#include "app/ui/PowerMenuUI.hpp"

namespace ampwell {

// Needs no platform: the preview shows fixed sample contents, so it runs on any machine. A file
// that cannot be written throws, and the entry point reports it and fails.
int runPreviewMenu(ModeContext&, const std::string& path) {
    renderPowerMenuPreview(path);
    return 0;
}

}  // namespace ampwell
