#pragma once

// Writes a sysfs-like tree into an ordinary directory: device directories with their "uevent"
// file and "subsystem" link, attributes, links, and the bus and class directories that list the
// devices. Under umockdev the directory is the testbed's sys dir (which the process then sees as
// /sys); the benchmark uses a temporary directory directly. Header-only so that both can use it.

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace ampwell::platform::linux_ {

class FakeSysfs {
public:
    using Values = std::vector<std::pair<std::string, std::string>>;

    explicit FakeSysfs(std::filesystem::path root) : root_(std::move(root)) {}

    const std::filesystem::path& root() const { return root_; }

    // Empties the tree, keeping its root directory.
    void clear() const {
        if (!std::filesystem::exists(root_)) return;
        for (const auto& entry : std::filesystem::directory_iterator(root_)) std::filesystem::remove_all(entry.path());
    }

    // A device of `subsystem` at `devpath` ("devices/..."). USB and Thunderbolt devices are listed
    // on their bus ("bus/usb/devices"), everything else in its class ("class/typec").
    void addDevice(const std::string& devpath, const std::string& subsystem, const Values& attributes,
                   const Values& properties = {}) const {
        addDirectory(devpath, attributes);
        const bool bus = subsystem == "usb" || subsystem == "thunderbolt";
        const std::string subsystemDir = bus ? "bus/" + subsystem : "class/" + subsystem;
        const std::string listDir = bus ? subsystemDir + "/devices" : subsystemDir;
        std::filesystem::create_directories(root_ / listDir);
        addLink(devpath, "subsystem", subsystemDir);
        std::string uevent;
        for (const auto& [key, value] : properties) uevent += key + "=" + value + "\n";
        setAttribute(devpath, "uevent", uevent);
        link(listDir + "/" + name(devpath), devpath);
    }

    // A plain directory with attributes (USB ports are devices without a subsystem).
    void addDirectory(const std::string& devpath, const Values& attributes = {}) const {
        std::filesystem::create_directories(root_ / devpath);
        for (const auto& [key, value] : attributes) setAttribute(devpath, key, value);
    }

    void setAttribute(const std::string& devpath, const std::string& name, const std::string& value) const {
        std::ofstream out(root_ / devpath / name, std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + (root_ / devpath / name).string());
        // sysfs ends every attribute with a line break; the uevent file is already lines.
        out << value << (name == "uevent" || value.empty() ? "" : "\n");
    }

    void removeAttribute(const std::string& devpath, const std::string& name) const {
        std::filesystem::remove(root_ / devpath / name);
    }

    // A link named `name` in `devpath` leading to `target` (relative to the root).
    void addLink(const std::string& devpath, const std::string& name, const std::string& target) const {
        link(devpath + "/" + name, target);
    }

    // Removes a device directory and every bus or class entry that leads into it.
    void removeDevice(const std::string& devpath) const {
        for (const char* list : {"bus/usb/devices", "bus/thunderbolt/devices", "class/typec", "class/power_supply"}) {
            const auto dir = root_ / list;
            if (!std::filesystem::exists(dir)) continue;
            for (const auto& entry : std::filesystem::directory_iterator(dir)) {
                if (!entry.is_symlink()) continue;
                const auto target = (dir / std::filesystem::read_symlink(entry.path())).lexically_normal();
                const auto removed = (root_ / devpath).lexically_normal();
                auto [end, _] = std::mismatch(removed.begin(), removed.end(), target.begin(), target.end());
                if (end == removed.end()) std::filesystem::remove(entry.path());
            }
        }
        std::filesystem::remove_all(root_ / devpath);
    }

    static std::string name(const std::string& devpath) {
        auto slash = devpath.rfind('/');
        return slash == std::string::npos ? devpath : devpath.substr(slash + 1);
    }

private:
    // A relative link at `at` to `target`, both relative to the root, as the kernel makes them.
    void link(const std::string& at, const std::string& target) const {
        const auto from = std::filesystem::path(at).parent_path();
        std::string up;
        for (const auto& part : from)
            if (!part.empty()) up += "../";
        std::filesystem::remove(root_ / at);
        std::filesystem::create_directory_symlink(up + target, root_ / at);
    }

    std::filesystem::path root_;
};

}  // namespace ampwell::platform::linux_
