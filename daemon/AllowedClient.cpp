#include "daemon/AllowedClient.hpp"

#include "contract/PowerRefreshService.hpp"
#include "platform/base/ReadFile.hpp"
#include "platform/refresh/CodeRequirement.hpp"

#include <pwd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

namespace ampwell {
namespace {

using platform::Failure;
using platform::Result;

// A configuration or digest file is a few lines; anything longer is not one of ours.
constexpr std::size_t kLargestFile = 64 * 1024;

bool isSpace(unsigned char c) { return std::isspace(c) != 0; }
bool isDigit(unsigned char c) { return std::isdigit(c) != 0; }
bool isHexDigit(unsigned char c) { return std::isxdigit(c) != 0; }

std::string trimmed(const std::string& text) {
    auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
    auto end = std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), isSpace).base();
    return std::string(begin, end);
}

// The file's lines, when it is protected and readable.
Result<std::vector<std::string>, std::string> protectedLines(const std::string& path,
                                                             const AllowedClient::Trust& trust) {
    if (!trust.isProtectedFile(path))
        return Failure{path + " is missing, or not a regular file owned by root that only root may write"};
    auto text = platform::readWholeFile(path, kLargestFile);
    if (!text && text.error() == EFBIG) return Failure{path + " is too large"};
    if (!text) return Failure{path + " cannot be read: " + std::strerror(text.error())};
    std::vector<std::string> lines;
    std::istringstream stream(*text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::optional<std::uint32_t> numericUserID(const std::string& text) {
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), isDigit)) return std::nullopt;
    const unsigned long long value = std::stoull(text);
    // (uid_t)-1 means "no user" to the kernel.
    if (value >= 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

Result<std::uint32_t, std::string> userFromConfiguration(const std::string& path, const AllowedClient::Trust& trust) {
    auto lines = protectedLines(path, trust);
    if (!lines) return Failure{lines.error()};
    std::optional<std::string> user;
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const std::string line = trimmed((*lines)[i]);
        if (line.empty() || line.front() == '#') continue;
        const std::string where = path + ":" + std::to_string(i + 1) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string::npos || trimmed(line.substr(0, equals)) != "user")
            return Failure{where + "expected user=<name or user ID>, found \"" + line + "\""};
        if (user) return Failure{where + "the user is named twice"};
        user = trimmed(line.substr(equals + 1));
        if (user->empty()) return Failure{where + "the user is empty"};
    }
    if (!user) return Failure{path + " names no user: add a line user=<name or user ID>"};
    if (auto id = numericUserID(*user)) return *id;
    if (auto id = trust.userID(*user)) return *id;
    return Failure{path + ": there is no user \"" + *user + "\""};
}

Result<std::string, std::string> digestFromFile(const std::string& path, const AllowedClient::Trust& trust) {
    auto lines = protectedLines(path, trust);
    if (!lines) return Failure{lines.error()};
    const std::string first = lines->empty() ? std::string() : trimmed(lines->front());
    std::string digest = first.substr(0, first.find_first_of(" \t"));
    std::transform(digest.begin(), digest.end(), digest.begin(), [](unsigned char c) { return std::tolower(c); });
    if (digest.size() != 64 || !std::all_of(digest.begin(), digest.end(), isHexDigit))
        return Failure{path + " does not start with a SHA-256 digest (64 hexadecimal digits)"};
    return digest;
}

std::optional<std::uint32_t> systemUserID(const std::string& name) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return std::nullopt;
    return static_cast<std::uint32_t>(found->pw_uid);
}

}  // namespace

AllowedClient::Trust AllowedClient::systemTrust() {
    return Trust{PowerRefreshService::isProtectedRegularFile, systemUserID};
}

platform::Result<AllowedClient, std::string> AllowedClient::fromInstalledFiles(const InstalledFiles& files,
                                                                               const Trust& trust) {
    const auto user = userFromConfiguration(files.configurationPath, trust);
    if (!user) return Failure{user.error()};
    const auto digest = digestFromFile(files.clientDigestPath, trust);
    if (!digest) return Failure{digest.error()};
    return AllowedClient{*user, platform::CodeRequirement::forSha256(*digest).text()};
}

}  // namespace ampwell
