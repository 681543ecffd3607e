#pragma once

#include <string>
#include <vector>

namespace ampwell::test {

struct ProgramRun {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs the real program (AMPWELL_BINARY) with `arguments` on the simulated Mac in
// `simulationFile` (absolute, or relative to the source tree), and collects what it wrote. The run
// speaks the C locale (the texts as written in the sources) whatever the caller's environment says;
// `environment` ("NAME=value" entries) is added last, to choose a language or a desktop.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& simulationFile,
                      const std::vector<std::string>& environment = {});

// The text of a file relative to the source tree.
std::string sourceFile(const std::string& relativePath);

}  // namespace ampwell::test
