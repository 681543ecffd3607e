#include "platform/linux/SysfsTree.hpp"

#include "platform/base/ReadFile.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ampwell::platform::linux_ {

namespace {

// Sysfs attributes are at most a page; uevent files and fakes stay far below this.
constexpr std::size_t kMaximumAttributeSize = 64 * 1024;

// Resolves "." and ".." lexically. False when ".." would climb above the start.
bool normalise(std::string_view path, std::string& out) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    out.clear();
    for (auto part : parts) {
        if (!out.empty()) out += '/';
        out += part;
    }
    return true;
}

}  // namespace

SysfsTree::SysfsTree(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::string SysfsTree::absolute(std::string_view path) const { return joinPath(root_, path); }

bool SysfsTree::isSystemTree() const { return root_ == kDefaultSysfsRoot; }

std::optional<std::string> SysfsTree::attribute(std::string_view path) const {
    auto contents = readWholeFile(absolute(path), kMaximumAttributeSize);
    if (!contents) return std::nullopt;
    std::string text = std::move(contents).value();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::optional<std::string> SysfsTree::link(std::string_view path) const {
    const std::string full = absolute(path);
    char target[4096];
    ssize_t length = ::readlink(full.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return std::nullopt;
    std::string_view to(target, static_cast<std::size_t>(length));
    std::string combined;
    if (to.front() == '/') {
        // An absolute link counts only when it stays inside the tree.
        std::string_view rootView(root_);
        if (root_ == "/") {
            combined = to.substr(1);
        } else if (to.substr(0, rootView.size()) == rootView &&
                   (to.size() == rootView.size() || to[rootView.size()] == '/')) {
            combined = to.substr(rootView.size());
        } else {
            return std::nullopt;
        }
    } else {
        combined = joinPath(parentPath(path), to);
    }
    std::string resolved;
    if (!normalise(combined, resolved)) return std::nullopt;
    return resolved;
}

std::vector<std::string> SysfsTree::list(std::string_view path) const {
    std::vector<std::string> names;
    const std::string full = absolute(path);
    DIR* dir = ::opendir(full.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

std::optional<FileIdentity> SysfsTree::identity(std::string_view path) const {
    const std::string full = absolute(path);
    struct stat info {};
    if (::stat(full.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_ino), static_cast<std::int64_t>(info.st_ctim.tv_sec),
                        static_cast<std::int64_t>(info.st_ctim.tv_nsec)};
}

bool SysfsTree::exists(std::string_view path) const {
    const std::string full = absolute(path);
    struct stat info {};
    return ::stat(full.c_str(), &info) == 0;
}

std::string joinPath(std::string_view base, std::string_view name) {
    if (base.empty()) return std::string(name);
    if (name.empty()) return std::string(base);
    std::string joined(base);
    if (joined.back() != '/') joined += '/';
    joined += name;
    return joined;
}

std::string_view baseName(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view parentPath(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

}  // namespace ampwell::platform::linux_
