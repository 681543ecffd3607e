#pragma once

#include "tests/linux/FakeSysfs.hpp"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace ampwell::platform::linux_ {

// A FakeSysfs in a fresh temporary directory, removed again at the end.
class TempTree {
public:
    TempTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ampwell-sysfs-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
    }
    ~TempTree() { std::filesystem::remove_all(root_); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    std::string root() const { return root_.string(); }
    FakeSysfs sysfs() const { return FakeSysfs(root_); }

private:
    std::filesystem::path root_;
};

}  // namespace ampwell::platform::linux_
