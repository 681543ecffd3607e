#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace ampwell::test {

// One golden case of a mode run as the real program: the simulation file it runs on and the
// file with its expected output, both relative to the source tree.
struct GoldenScenario {
    const char* simulation;
    const char* expected;
};

// A test instance's name after its simulation file: "tests/scenarios/watch/plug-and-unplug.json"
// → "plug_and_unplug", so that a failing golden case says which scenario it is.
inline std::string scenarioName(const std::string& simulationPath) {
    std::string name = simulationPath.substr(simulationPath.rfind('/') + 1);
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0) name.resize(name.size() - 5);
    for (auto& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// The name generator for a parameterised suite of golden cases.
inline std::string goldenScenarioName(const ::testing::TestParamInfo<GoldenScenario>& info) {
    return scenarioName(info.param.simulation);
}

}  // namespace ampwell::test
