#include "platform/linux/refresh/PeerExecutableVerifier.hpp"

#include "platform/linux/refresh/ExecutableDigest.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace ampwell::platform::linux_ {
namespace {

namespace fs = std::filesystem;

// A process running the executable at `path` until the test ends it.
class Running {
public:
    explicit Running(const fs::path& path) {
        const std::string program = path.string();
        char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("30"), nullptr};
        if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, nullptr) != 0) pid_ = -1;
        // Wait until the exec has happened, so /proc shows the new executable.
        for (int i = 0; i < 500 && pid_ > 0; ++i) {
            std::error_code error;
            if (fs::read_symlink("/proc/" + std::to_string(pid_) + "/exe", error) == path) break;
            ::usleep(2000);
        }
    }
    ~Running() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

class PeerExecutableVerifierTest : public ::testing::Test {
protected:
    PeerExecutableVerifierTest() : directory(fs::temp_directory_path() / ("verifier-" + std::to_string(::getpid()))) {
        fs::create_directories(directory);
        program = directory / "sleeper";
        fs::copy_file("/bin/sleep", program);
        ::chmod(program.c_str(), 0755);
    }
    ~PeerExecutableVerifierTest() override { fs::remove_all(directory); }

    fs::path directory;
    fs::path program;
    PeerExecutableVerifier verifier;
};

TEST_F(PeerExecutableVerifierTest, ChangedExecutableIsHashedAgainNeverServedFromTheCache) {
    if (::geteuid() != 0) GTEST_SKIP() << "the cache holds only root-owned executables";
    std::string first;
    {
        Running peer(program);
        ASSERT_GT(peer.pid(), 0);
        first = verifier.digestOfProcess(peer.pid()).value_or("");
        EXPECT_EQ(first, sha256OfFile(program.string()));
        EXPECT_EQ(verifier.digestOfProcess(peer.pid()), first);
        EXPECT_EQ(verifier.digestsComputed(), 1u);
    }
    {
        // Same inode, same size, one byte different (in the section headers, which exec ignores).
        std::fstream file(program, std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(-1, std::ios::end);
        const char last = static_cast<char>(file.get());
        file.seekp(-1, std::ios::end);
        file.put(static_cast<char>(last ^ 1));
    }
    Running changed(program);
    const auto second = verifier.digestOfProcess(changed.pid());
    ASSERT_TRUE(second);
    EXPECT_NE(*second, first) << "a stale digest was served for a changed executable";
    EXPECT_EQ(verifier.digestsComputed(), 2u);
}

TEST_F(PeerExecutableVerifierTest, ExecutableOthersMayWriteIsHashedEveryTimeAndAnEndedProcessHasNone) {
    ::chmod(program.c_str(), 0775);
    Running peer(program);
    ASSERT_GT(peer.pid(), 0);
    EXPECT_TRUE(verifier.digestOfProcess(peer.pid()));
    EXPECT_TRUE(verifier.digestOfProcess(peer.pid()));
    EXPECT_EQ(verifier.digestsComputed(), 2u);

    pid_t ended = 0;
    {
        Running gone(program);
        ended = gone.pid();
    }
    EXPECT_FALSE(verifier.digestOfProcess(ended));
}

}  // namespace
}  // namespace ampwell::platform::linux_
