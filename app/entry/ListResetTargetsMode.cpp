#include "app/entry/Modes.hpp"
#include "app/reset/USBDeviceResetter.hpp"
#include "app/text/UnicodeText.hpp"
#include "platform/base/Translation.hpp"

#include <ostream>

namespace ampwell {

int runListResetTargets(ModeContext& context) {
    platform::Platform& platform = context.platform();
    const USBDeviceResetter resetter(platform.registry(), platform.usbHost());
    for (const USBResetTarget& target : resetter.availableTargets()) {
        auto& out = context.out();
        if (target.port)
            out << platform::trFormat("接口 {}", *target.port);
        else out << "USB";
        out << " · " << lineSafe(target.productName);
        if (target.isHub) out << platform::tr("（集线器）");
        out << '\n';
    }
    return 0;
}

}  // namespace ampwell
