#include "platform/linux/JsonFileDefaults.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace ampwell::platform::linux_ {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class JsonFileDefaultsTest : public ::testing::Test {
protected:
    JsonFileDefaultsTest() {
        std::string pattern = (fs::temp_directory_path() / "ampwell-defaults-XXXXXX").string();
        directory = ::mkdtemp(pattern.data());
        path = directory / "config" / "ampwell" / "defaults.json";
    }
    ~JsonFileDefaultsTest() override { fs::remove_all(directory); }

    std::vector<fs::path> setAside() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(path.parent_path()))
            if (entry.path().filename().string().rfind("defaults.json.unreadable-", 0) == 0) found.push_back(entry.path());
        return found;
    }

    void write(const std::string& text) const {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    fs::path directory;
    fs::path path;
    std::vector<std::string> reports;
    std::function<void(const std::string&)> report = [this](const std::string& line) { reports.push_back(line); };
};

TEST_F(JsonFileDefaultsTest, EveryKindOfValueSurvivesAWriteAndARead) {
    {
        JsonFileDefaults defaults(path.string(), report);
        EXPECT_FALSE(defaults.value("lowPowerThreshold"));
        defaults.set("lowPowerThreshold", PropertyValue::realNumber(7.5));
        defaults.set("whole", PropertyValue::wholeNumber(-12));
        defaults.set("huge", PropertyValue::unsignedNumber(18446744073709551615ull));
        defaults.set("activeSystemPowerSampling", PropertyValue::boolean(false));
        defaults.set("menuDisplayMode", PropertyValue::string("图标"));
        defaults.set("bytes", PropertyValue::data({0x00, 0xff}));
        defaults.set("list", PropertyValue::array({PropertyValue::wholeNumber(1), PropertyValue::string("a")}));
        defaults.set("nested", PropertyValue::dictionary({{"k", PropertyValue::boolean(true)}}));
        defaults.set("gone", PropertyValue::string("x"));
        defaults.remove("gone");
    }
    JsonFileDefaults reread(path.string(), report);
    EXPECT_EQ(reread.value("lowPowerThreshold")->describe(), "7.5");
    EXPECT_EQ(reread.value("whole")->describe(), "-12");
    EXPECT_EQ(reread.value("huge")->describe(), "18446744073709551615");
    // A boolean stays a boolean: a number read refuses it.
    EXPECT_EQ(booleanDefault(reread, "activeSystemPowerSampling"), std::optional<bool>(false));
    EXPECT_FALSE(numberDefault(reread, "activeSystemPowerSampling"));
    EXPECT_EQ(stringDefault(reread, "menuDisplayMode"), std::optional<std::string>("图标"));
    EXPECT_EQ(reread.value("bytes")->describe(), "<00ff>");
    EXPECT_EQ(reread.value("list")->describe(), "[1, \"a\"]");
    EXPECT_EQ(reread.value("nested")->describe(), "{\"k\": true}");
    EXPECT_FALSE(reread.value("gone"));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::none);
    // Nothing of the temporary files is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(JsonFileDefaultsTest, AFileThatCannotBeParsedIsKeptAsideAndNeverOverwritten) {
    const std::string broken = "{\"lowPowerThreshold\": 15,";
    write(broken);
    JsonFileDefaults defaults(path.string(), report);
    EXPECT_FALSE(defaults.value("lowPowerThreshold"));
    auto aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(contents(aside[0]), broken);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(aside[0].string()), std::string::npos);

    defaults.set("lowPowerThreshold", PropertyValue::wholeNumber(5));
    EXPECT_EQ(contents(aside[0]), broken);
    EXPECT_EQ(JsonFileDefaults(path.string()).value("lowPowerThreshold")->describe(), "5");

    // A second broken file in the same second gets a name of its own.
    write("[1, 2]");
    JsonFileDefaults again(path.string(), report);
    EXPECT_EQ(setAside().size(), 2u);
    EXPECT_EQ(contents(aside[0]), broken);
}

TEST_F(JsonFileDefaultsTest, ValuesNoPropertyCanHoldMakeTheWholeFileUnreadable) {
    for (const char* text : {"{\"a\": null}", "{\"a\": {\"$data\": \"0g\"}}", "\"text\"", ""}) {
        write(text);
        JsonFileDefaults defaults(path.string(), report);
        EXPECT_FALSE(defaults.value("a")) << text;
        EXPECT_FALSE(fs::exists(path)) << text;
    }
    EXPECT_EQ(setAside().size(), 4u);
}

TEST_F(JsonFileDefaultsTest, APathThatCanNeitherBeReadNorMovedAsideIsLeftAloneAndChangesStayInMemory) {
    // The directory of the file is itself a file: nothing can be read, moved or written there.
    write("{}");
    const std::string blocked = path.string() + "/defaults.json";
    JsonFileDefaults defaults(blocked, report);
    defaults.set("menuDisplayMode", PropertyValue::string("text"));
    EXPECT_EQ(stringDefault(defaults, "menuDisplayMode"), std::optional<std::string>("text"));
    EXPECT_EQ(contents(path), "{}");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("could not be used"), std::string::npos);
    EXPECT_NE(reports[1].find("not saved"), std::string::npos);
}

TEST_F(JsonFileDefaultsTest, AFailedSaveLeavesNoTemporaryFileBehind) {
    JsonFileDefaults defaults(path.string(), report);
    // A directory with something in it now stands where the file goes: the final rename fails.
    fs::create_directories(path / "inside");
    defaults.set("menuDisplayMode", PropertyValue::string("text"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("not saved"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(path.parent_path()))
        EXPECT_EQ(entry.path(), path) << "left behind: " << entry.path();
}

TEST_F(JsonFileDefaultsTest, HostileFilesAreSetAsideAtOnce) {
    // Deep nesting, a device that never ends, and a named pipe nobody writes to.
    const std::string deep = "{\"x\": " + std::string(5000, '[') + std::string(5000, ']') + "}";
    const std::vector<std::function<void()>> makers{
        [&] { write(deep); },
        [&] { fs::create_directories(path.parent_path()), fs::create_symlink("/dev/zero", path); },
        [&] { fs::create_directories(path.parent_path()), ::mkfifo(path.c_str(), 0600); }};
    for (const auto& make : makers) {
        fs::remove_all(path.parent_path());
        make();
        reports.clear();
        JsonFileDefaults defaults(path.string(), report);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("could not be used"), std::string::npos) << reports[0];
        EXPECT_EQ(setAside().size(), 1u);
    }
}

}  // namespace
}  // namespace ampwell::platform::linux_
