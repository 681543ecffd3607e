#include "platform/linux/ThunderboltDocks.hpp"

#include "platform/linux/TypeCPorts.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kThunderboltDevices = "bus/thunderbolt/devices";
constexpr const char* kTypeCClass = "class/typec";
constexpr std::string_view kConsumerPrefix = "consumer:pci:";
// The alternate mode a Thunderbolt 3 partner runs in (Intel's vendor ID as the SVID).
constexpr const char* kThunderboltSvid = "8087";
constexpr std::string_view kXDomainDevtype = "DEVTYPE=thunderbolt_xdomain";

// A router "<domain>-<route in hex>": the host router has route 0.
struct Router {
    std::string domain;
    std::uint64_t route = 0;
};

std::optional<Router> parseRouter(std::string_view name) {
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) return std::nullopt;
    Router router{std::string(name.substr(0, dash)), 0};
    for (char c : router.domain)
        if (c < '0' || c > '9') return std::nullopt;
    const auto route = name.substr(dash + 1);
    auto [end, error] = std::from_chars(route.data(), route.data() + route.size(), router.route, 16);
    if (error != std::errc() || end != route.data() + route.size()) return std::nullopt;
    return router;
}

// The domain whose host ties a strict PCI ancestor of the controller to itself.
std::optional<std::string> domainAbove(const SysfsTree& tree, const std::string& controllerDevpath) {
    std::set<std::string> ancestors;
    for (std::string_view path = parentPath(controllerDevpath); !path.empty(); path = parentPath(path))
        ancestors.emplace(baseName(path));
    for (const auto& name : tree.list(kThunderboltDevices)) {
        if (name.rfind("domain", 0) != 0) continue;
        const auto domain = tree.link(joinPath(kThunderboltDevices, name));
        if (!domain) continue;
        for (const auto& entry : tree.list(parentPath(*domain))) {
            if (entry.rfind(kConsumerPrefix, 0) == 0 && ancestors.count(entry.substr(kConsumerPrefix.size())) != 0)
                return name.substr(6);
        }
    }
    return std::nullopt;
}

// A host-to-host link (another computer on a Thunderbolt or USB4 port) is named like a router
// but is none: it tunnels no dock's PCIe, and counted as a router it would look like a second
// dock on its host.
bool isXDomain(const SysfsTree& tree, const std::string& name) {
    const auto uevent = tree.attribute(joinPath(joinPath(kThunderboltDevices, name), "uevent"));
    if (!uevent) return false;
    std::string_view lines(*uevent);
    while (!lines.empty()) {
        const auto end = std::min(lines.find('\n'), lines.size());
        if (lines.substr(0, end) == kXDomainDevtype) return true;
        lines.remove_prefix(std::min(end + 1, lines.size()));
    }
    return false;
}

// The host ports the device routers of each domain hang on.
std::vector<std::pair<std::string, std::set<std::uint64_t>>> hostPortsByDomain(const SysfsTree& tree) {
    std::vector<std::pair<std::string, std::set<std::uint64_t>>> domains;
    for (const auto& name : tree.list(kThunderboltDevices)) {
        const auto router = parseRouter(name);
        if (!router || router->route == 0 || isXDomain(tree, name)) continue;
        auto found = domains.begin();
        while (found != domains.end() && found->first != router->domain) ++found;
        if (found == domains.end()) found = domains.insert(domains.end(), {router->domain, {}});
        found->second.insert(router->route & 0xFF);
    }
    return domains;
}

bool runsThunderbolt(const SysfsTree& tree, const std::string& partnerName) {
    const std::string partner = joinPath(kTypeCClass, partnerName);
    if (TypeCPorts::currentChoice(tree.attribute(joinPath(partner, "usb_mode")).value_or("")) == "usb4") return true;
    const auto devpath = tree.link(partner);
    if (!devpath) return false;
    for (const auto& mode : tree.list(*devpath)) {
        if (mode.rfind(partnerName + ".", 0) != 0) continue;
        const std::string modePath = joinPath(*devpath, mode);
        if (tree.attribute(joinPath(modePath, "svid")) == kThunderboltSvid &&
            tree.attribute(joinPath(modePath, "active")) == "yes")
            return true;
    }
    return false;
}

// The one Type-C port whose partner runs Thunderbolt or USB4.
std::optional<int> onlyThunderboltPartnerPort(const SysfsTree& tree) {
    std::optional<int> found;
    for (const auto& name : tree.list(kTypeCClass)) {
        const auto dash = name.find("-partner");
        if (dash == std::string::npos || dash + 8 != name.size()) continue;
        const auto index = TypeCPorts::portIndex(std::string_view(name).substr(0, dash));
        if (!index || !runsThunderbolt(tree, name)) continue;
        if (found) return std::nullopt;
        found = index;
    }
    return found;
}

}  // namespace

std::optional<int> ThunderboltDocks::typeCPortOf(const SysfsTree& tree, const std::string& controllerDevpath) {
    const auto domain = domainAbove(tree, controllerDevpath);
    if (!domain) return std::nullopt;
    const auto domains = hostPortsByDomain(tree);
    const std::set<std::uint64_t>* hostPorts = nullptr;
    for (const auto& [name, ports] : domains)
        if (name == *domain) hostPorts = &ports;
    // No dock on this host, or docks on two of its ports: which one the controller belongs to is
    // not written anywhere.
    if (hostPorts == nullptr || hostPorts->size() != 1) return std::nullopt;

    if (const auto host = tree.link(joinPath(kThunderboltDevices, *domain + "-0"))) {
        const std::string usb4Port = joinPath(*host, "usb4_port" + std::to_string(*hostPorts->begin()));
        if (auto index = TypeCPorts::connectorIndex(tree, usb4Port)) return index;
    }
    if (domains.size() != 1) return std::nullopt;
    return onlyThunderboltPartnerPort(tree);
}

}  // namespace ampwell::platform::linux_
