#include "app/ui/SamplingTrace.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ampwell {
namespace {

std::vector<std::string> linesOf(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

struct TraceFile : ::testing::Test {
    void SetUp() override {
        char pattern[] = "/tmp/ampwell-trace-XXXXXX";
        directory = ::mkdtemp(pattern);
        path = directory + "/trace.jsonl";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::string directory;
    std::string path;
};

TEST(SamplingTraceOption, TakesTheArgumentAfterTheFirstOptionAndNothingWhenItIsLast) {
    EXPECT_EQ(SamplingTrace::pathFromArguments({"ampwell", "--trace-sampling", "a", "--trace-sampling", "b"}), "a");
    EXPECT_EQ(SamplingTrace::pathFromArguments({"ampwell", "--trace-sampling"}), std::nullopt);
    EXPECT_EQ(SamplingTrace::pathFromArguments({"ampwell"}), std::nullopt);
}

TEST_F(TraceFile, AppendsAfterExistingLinesWithSortedKeysAndItsOwnTime) {
    std::ofstream(path) << "{\"old\":true}\n";
    auto trace = SamplingTrace::open(path);
    ASSERT_NE(trace, nullptr);
    trace->write({{"trigger", "timer"}, {"time", "caller's"}, {"b", 1}}, platform::dateFromSecondsSince1970(1.25));
    trace->write({{"trigger", "timer"}}, platform::dateFromSecondsSince1970(1.5));
    EXPECT_EQ(linesOf(path), (std::vector<std::string>{R"({"old":true})", R"({"b":1,"time":1.25,"trigger":"timer"})",
                                                       R"({"time":1.5,"trigger":"timer"})"}));
}

TEST_F(TraceFile, ARecordThatCannotBeWrittenAsJSONIsDroppedAndTracingGoesOn) {
    auto trace = SamplingTrace::open(path);
    ASSERT_NE(trace, nullptr);
    trace->write({{"text", std::string("\xff\xfe")}}, platform::dateFromSecondsSince1970(1));
    trace->write({{"text", "ok"}}, platform::dateFromSecondsSince1970(2));
    EXPECT_EQ(linesOf(path), (std::vector<std::string>{R"({"text":"ok","time":2.0})"}));
}

TEST_F(TraceFile, AFileThatCannotBeOpenedLeavesTracingOff) {
    EXPECT_EQ(SamplingTrace::open(directory + "/missing/trace.jsonl"), nullptr);
}

}  // namespace
}  // namespace ampwell
