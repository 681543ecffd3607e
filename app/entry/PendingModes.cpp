#include "app/entry/Modes.hpp"

namespace ampwell {

// Modes whose subsystems (drawing, the refresh daemon, notifications) are not built yet.

int runPreviewMenu(ModeContext& context, const std::string&) {
    return reportNotBuilt(context, "--preview-menu");
}

int runPreviewIcons(ModeContext& context, const std::string&) {
    return reportNotBuilt(context, "--preview-icons");
}

int runNotificationStatus(ModeContext& context) {
    return reportNotBuilt(context, "--notification-status");
}

}  // namespace ampwell
