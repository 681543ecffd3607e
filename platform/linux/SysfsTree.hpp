#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ampwell::platform::linux_ {

// The one place the real sysfs mount point is named; every other path is relative to a root.
inline constexpr const char* kDefaultSysfsRoot = "/sys";

// What tells two kernel objects at the same path apart: a device directory that was removed and
// made again gets a new inode (and a new change time).
struct FileIdentity {
    std::uint64_t inode = 0;
    std::int64_t changeSeconds = 0;
    std::int64_t changeNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Read-only access to a sysfs tree below a root directory. Paths given and returned are relative
// to the root ("bus/usb/devices/1-1"); links are resolved inside the tree, so the same code reads
// the kernel's tree and a faked one. Stateless apart from the root: safe from any thread.
class SysfsTree {
public:
    explicit SysfsTree(std::string root = kDefaultSysfsRoot);

    const std::string& root() const { return root_; }
    std::string absolute(std::string_view path) const;
    bool isSystemTree() const;

    // The file's contents without its one trailing line break; nullopt when it cannot be read.
    std::optional<std::string> attribute(std::string_view path) const;
    // Where the symbolic link at `path` leads, as a normalised path relative to the root; nullopt
    // when it is no link or leads outside the tree. The directories above `path` must be real ones
    // (resolve a class or bus entry first), as a relative target counts from the link's real place.
    std::optional<std::string> link(std::string_view path) const;
    // The names in a directory, without "." and ".."; empty when it cannot be read.
    std::vector<std::string> list(std::string_view path) const;
    // Identity of what the path leads to (links followed); nullopt when it does not exist.
    std::optional<FileIdentity> identity(std::string_view path) const;
    bool exists(std::string_view path) const;

private:
    std::string root_;
};

// "a/b" + "c" → "a/b/c"; either side may be empty.
std::string joinPath(std::string_view base, std::string_view name);
// The last component of a path.
std::string_view baseName(std::string_view path);
// Everything before the last component ("" for a single component).
std::string_view parentPath(std::string_view path);

}  // namespace ampwell::platform::linux_
