#include "app/entry/AmpwellApplication.hpp"
#include "platform/base/Translation.hpp"
#include "platform/factory/DesktopChoice.hpp"
#include "platform/factory/PlatformFactory.hpp"
#include "platform/linux/desktop/NativeDesktop.hpp"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    ampwell::platform::useMessageCatalog();
    std::vector<std::string> arguments(argv, argv + argc);
    ampwell::ModeContext context(std::move(arguments), std::cout, std::cerr, [] {
        return ampwell::platform::makePlatform(std::getenv("AMPWELL_SIMULATION"));
    });
    context.setDesktopFactory([](ampwell::platform::Platform& platform) {
        const ampwell::platform::DesktopEnvironment environment{std::getenv("AMPWELL_UI"), std::getenv("AMPWELL_UI_LOG"),
                                                                std::cout, std::cerr};
        return ampwell::platform::chooseDesktop(platform, environment, ampwell::platform::nativeDesktopFactory());
    });
    const int status = ampwell::AmpwellApplication::main(context);
    std::cout.flush();
    return status;
}
