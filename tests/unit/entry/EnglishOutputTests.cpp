// The real program under an English locale: the demo and every diagnostic mode read in English,
// with no Chinese left, while what scripts read stays as it is under the C locale.
#include "tests/unit/support/RunProgram.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ampwell {
namespace {

// Asked for the way a minimal Debian system can honour: only C.UTF-8 is generated there.
const std::vector<std::string> kEnglish{"LC_ALL=C.UTF-8", "LANGUAGE=en"};

// The first line holding Chinese script or full-width punctuation, or "" when none does.
std::string firstChineseLine(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        for (std::size_t i = 0; i + 2 < line.size(); ++i) {
            const auto lead = static_cast<unsigned char>(line[i]);
            if (lead < 0xE3 || lead > 0xEF) continue;
            const char32_t point =
                (char32_t(lead & 0x0F) << 12) | (char32_t(line[i + 1] & 0x3F) << 6) | char32_t(line[i + 2] & 0x3F);
            if ((point >= 0x3000 && point <= 0x9FFF) || (point >= 0xFF00 && point <= 0xFFEF)) return line;
        }
        start = end + 1;
    }
    return "";
}

TEST(EnglishOutput, TheDemoTellsItsWholeStoryInEnglishWithTheMacsShortcuts) {
    std::vector<std::string> environment = kEnglish;
    environment.push_back("AMPWELL_UI=headless");
    const auto run = test::runProgram({}, "examples/desk.json", environment);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(firstChineseLine(run.out), "");
    // The scripted click names the items in Chinese; the English menu must still be found.
    EXPECT_NE(run.out.find("user clicks   Preferences › Menu Bar Shows › iPad Power\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Quit Ampwell ⌘Q"), std::string::npos);
    EXPECT_NE(run.out.find("\"iPad may be underpowered\""), std::string::npos);
}

TEST(EnglishOutput, EveryDiagnosticModeSpeaksEnglish) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs{
        {{"--snapshot"}, "tests/scenarios/snapshot/no-power-service.json"},
        {{"--snapshot"}, "tests/scenarios/snapshot/desk.json"},
        {{"--list-reset-targets"}, "tests/scenarios/reset_targets/hubs-and-builtin.json"},
        {{"--watch-connections"}, "tests/scenarios/snapshot/desk.json"},
        {{"--check-indicator"}, "tests/scenarios/snapshot/desk.json"},
        {{"--request-system-power"}, "tests/scenarios/snapshot/desk.json"},
        {{"--notification-status"}, "tests/scenarios/snapshot/desk.json"},
        {{"--help"}, "tests/scenarios/snapshot/desk.json"},
    };
    for (const auto& [arguments, simulation] : runs) {
        const auto run = test::runProgram(arguments, simulation, kEnglish);
        // The snapshot's JSON keeps the texts as the sources write them (see the next test).
        const std::string shown =
            arguments.front() == "--snapshot" ? run.out.substr(run.out.find("\n}\n") + 3) : run.out;
        EXPECT_NE(shown, "") << arguments.front() << " on " << simulation;
        EXPECT_EQ(firstChineseLine(shown + run.err), "") << arguments.front() << " on " << simulation;
    }
}

TEST(EnglishOutput, TheUsualVariablesChooseTheLanguageWhetherOrNotItsLocaleIsGenerated) {
    // An empty LC_ALL counts as unset; en_US.UTF-8 may or may not be generated on the machine.
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"LC_ALL=", "LANG=en_US.UTF-8"}, "Checks passed:"},
        {{"LC_ALL=", "LC_MESSAGES=en_GB.UTF-8"}, "Checks passed:"},
        {{"LC_ALL=", "LANGUAGE=en"}, "Checks passed:"},
        {{"LC_ALL=C", "LANGUAGE=en"}, "快速采样期限"},
        {{"LC_ALL=", "LANG=POSIX", "LANGUAGE=en"}, "快速采样期限"},
        {{"LC_ALL=", "LANG=zh_CN.UTF-8"}, "快速采样期限"},
    };
    for (const auto& [environment, start] : cases) {
        const auto run = test::runProgram({"--check-indicator"}, "tests/scenarios/snapshot/desk.json", environment);
        EXPECT_EQ(run.out.rfind(start, 0), 0u) << environment.back() << ": " << run.out;
    }
}

TEST(EnglishOutput, TheSnapshotsJsonIsTheSameInEveryLanguage) {
    const auto english = test::runProgram({"--snapshot"}, "tests/scenarios/snapshot/no-power-service.json", kEnglish);
    const auto plain = test::runProgram({"--snapshot"}, "tests/scenarios/snapshot/no-power-service.json");
    // Everything up to the closing brace of the JSON; the verdict line after it is for a person.
    const auto json = [](const std::string& out) { return out.substr(0, out.find("\n}\n") + 3); };
    EXPECT_EQ(json(english.out), json(plain.out));
    EXPECT_NE(english.out, plain.out);
}

}  // namespace
}  // namespace ampwell
