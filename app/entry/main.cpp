#include "app/entry/AmpwellApplication.hpp"
#include "platform/factory/PlatformFactory.hpp"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    ampwell::ModeContext context(std::move(arguments), std::cout, std::cerr, [] {
        return ampwell::platform::makePlatform(std::getenv("AMPWELL_SIMULATION"));
    });
    const int status = ampwell::AmpwellApplication::main(context);
    std::cout.flush();
    return status;
}
