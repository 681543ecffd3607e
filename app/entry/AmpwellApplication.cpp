#include "app/entry/AmpwellApplication.hpp"

#include "app/entry/Modes.hpp"
#include "app/entry/OptionDispatch.hpp"

#include <exception>
#include <ostream>

namespace ampwell {

int reportNotBuilt(ModeContext& context, const std::string& what) {
    context.err() << "ampwell: " << what << " is not built yet" << std::endl;
    return kNotBuiltStatus;
}

int AmpwellApplication::main(ModeContext& context) {
    const Dispatch dispatch = dispatchOptions(context.arguments());
    try {
        switch (dispatch.mode) {
        case Mode::checkIndicator: return runCheckIndicator(context);
        case Mode::previewMenu: return runPreviewMenu(context, *dispatch.value);
        case Mode::watchConnections: return runWatchConnections(context);
        case Mode::previewIcons: return runPreviewIcons(context, *dispatch.value);
        case Mode::requestSystemPower: return runRequestSystemPower(context);
        case Mode::snapshot: return runSnapshot(context);
        case Mode::listResetTargets: return runListResetTargets(context);
        case Mode::notificationStatus: return runNotificationStatus(context);
        case Mode::history: return runHistory(context);
        case Mode::previewHistory: return runPreviewHistory(context, *dispatch.value);
        case Mode::help: return runHelp(context);
        case Mode::version: return runVersion(context);
        case Mode::serveMetrics: return runServeMetrics(context, *dispatch.value);
        case Mode::launchApplication: return runApplication(context);
        }
    } catch (const std::exception& error) {
        context.err() << "ampwell: " << error.what() << std::endl;
        return 1;
    }
    return 1;
}

}  // namespace ampwell
