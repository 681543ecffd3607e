#include "platform/base/FileDescriptor.hpp"
#include "platform/base/ReadFile.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ampwell::platform {
namespace {

namespace fs = std::filesystem;

class ReadFileTest : public ::testing::Test {
protected:
    ReadFileTest() {
        std::string pattern = (fs::temp_directory_path() / "ampwell-read-XXXXXX").string();
        directory = ::mkdtemp(pattern.data());
    }
    ~ReadFileTest() override { fs::remove_all(directory); }

    std::string write(const std::string& name, const std::string& text) const {
        const fs::path path = directory / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    static bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

    fs::path directory;
};

TEST_F(ReadFileTest, AFileLongerThanTheCapIsRefusedNotCut) {
    const std::string text(70000, 'x');  // more than one read's worth
    const std::string path = write("big", text);
    EXPECT_EQ(readWholeFile(path, text.size()).value(), text);
    const auto capped = readWholeFile(path, text.size() - 1);
    ASSERT_FALSE(capped.ok());
    EXPECT_EQ(capped.error(), EFBIG);
    EXPECT_EQ(readWholeFile(write("empty", ""), 0).value(), "");
    EXPECT_EQ(readWholeFile((directory / "missing").string(), 10).error(), ENOENT);
}

TEST_F(ReadFileTest, ADescriptorIsClosedOnceByWhoeverOwnsItLast) {
    const std::string path = write("f", "x");
    int fd = -1;
    {
        FileDescriptor first = FileDescriptor::open(path, O_RDONLY | O_CLOEXEC);
        ASSERT_TRUE(first);
        fd = first.get();
        FileDescriptor second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), fd);
        FileDescriptor third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(fd));
    }
    EXPECT_FALSE(isOpen(fd));

    FileDescriptor replaced = FileDescriptor::open(path, O_RDONLY | O_CLOEXEC);
    const int old = replaced.get();
    replaced = FileDescriptor::open(path, O_RDONLY | O_CLOEXEC);
    EXPECT_NE(replaced.get(), old);
    EXPECT_FALSE(isOpen(old));
    EXPECT_EQ(replaced.close(), 0);
    EXPECT_FALSE(replaced.valid());

    errno = 0;
    EXPECT_FALSE(FileDescriptor::open((directory / "missing").string(), O_RDONLY));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace ampwell::platform
