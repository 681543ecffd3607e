#include "daemon/AllowedClient.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ampwell {
namespace {

constexpr const char* kDigest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

class AllowedClientFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ampwell-allowed-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        files_ = {dir_ + "/ampwelld.conf", dir_ + "/ampwell.sha256"};
        write(files_.clientDigestPath, std::string(kDigest) + "  /usr/bin/ampwell\n");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        protectedFiles_.insert(path);
    }
    std::optional<AllowedClient> load() {
        problem_.clear();
        const AllowedClient::Trust trust{[this](const std::string& path) { return protectedFiles_.count(path) > 0; },
                                         [](const std::string& name) -> std::optional<std::uint32_t> {
                                             if (name == "alice") return 1000u;
                                             return std::nullopt;
                                         }};
        auto allowed = AllowedClient::fromInstalledFiles(files_, trust);
        if (allowed) return *allowed;
        problem_ = allowed.error();
        return std::nullopt;
    }

    std::string dir_;
    AllowedClient::InstalledFiles files_;
    std::set<std::string> protectedFiles_;
    std::string problem_;
};

TEST_F(AllowedClientFiles, TheUserByNameOrIDAndTheClientDigestMakeTheRule) {
    write(files_.configurationPath, "# who may ask\n\n  user = alice  \n");
    auto allowed = load();
    ASSERT_TRUE(allowed) << problem_;
    EXPECT_EQ(allowed->allowedPowerRefreshUID, 1000u);
    EXPECT_EQ(allowed->allowedPowerRefreshRequirement, std::string("sha256 H\"") + kDigest + "\"");

    write(files_.configurationPath, "user=1234\n");
    write(files_.clientDigestPath, std::string("9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08"));
    allowed = load();
    ASSERT_TRUE(allowed) << problem_;
    EXPECT_EQ(allowed->allowedPowerRefreshUID, 1234u);
    EXPECT_EQ(allowed->allowedPowerRefreshRequirement, std::string("sha256 H\"") + kDigest + "\"");
}

TEST_F(AllowedClientFiles, AMissingOrUnprotectedFileServesNobodyAndSaysWhich) {
    EXPECT_FALSE(load());
    EXPECT_EQ(problem_,
              files_.configurationPath + " is missing, or not a regular file owned by root that only root may write");

    // Present but writable by others: the same refusal, however right its content.
    std::ofstream(files_.configurationPath) << "user=alice\n";
    EXPECT_FALSE(load());
    EXPECT_NE(problem_.find(files_.configurationPath), std::string::npos);

    write(files_.configurationPath, "user=alice\n");
    protectedFiles_.erase(files_.clientDigestPath);
    EXPECT_FALSE(load());
    EXPECT_EQ(problem_.find(files_.clientDigestPath), 0u) << problem_;
}

TEST_F(AllowedClientFiles, AConfigurationWithoutOneKnownUserIsRefusedWithItsLine) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"# user=alice\n", " names no user: add a line user=<name or user ID>"},
        {"user=\n", ":1: the user is empty"},
        {"user=alice\nuser=1000\n", ":2: the user is named twice"},
        {"uid=1000\n", ":1: expected user=<name or user ID>, found \"uid=1000\""},
        {"alice\n", ":1: expected user=<name or user ID>, found \"alice\""},
        {"user=mallory\n", ": there is no user \"mallory\""},
        // (uid_t)-1 is "no user" to the kernel, and a number past 32 bits is no user ID either.
        {"user=4294967295\n", ": there is no user \"4294967295\""},
        {"user=99999999999\n", ": there is no user \"99999999999\""},
    };
    for (const auto& [text, expected] : cases) {
        write(files_.configurationPath, text);
        EXPECT_FALSE(load()) << text;
        EXPECT_EQ(problem_, files_.configurationPath + expected) << text;
    }
}

TEST_F(AllowedClientFiles, ADigestFileWithoutAWholeSHA256IsRefused) {
    write(files_.configurationPath, "user=alice\n");
    const std::vector<std::string> texts{"", "9f86d081  /usr/bin/ampwell\n", std::string(kDigest).substr(1) + "x\n",
                                         std::string(kDigest) + "00\n"};
    for (const auto& text : texts) {
        write(files_.clientDigestPath, text);
        EXPECT_FALSE(load()) << text;
        EXPECT_EQ(problem_, files_.clientDigestPath + " does not start with a SHA-256 digest (64 hexadecimal digits)");
    }
}

}  // namespace
}  // namespace ampwell
