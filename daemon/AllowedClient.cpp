#include "daemon/AllowedClient.hpp"

#include "contract/PowerRefreshService.hpp"
#include "platform/CodeRequirement.hpp"

#include <pwd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

namespace ampwell {
namespace {

// A configuration or digest file is a few lines; anything longer is not one of ours.
constexpr std::streamsize kLargestFile = 64 * 1024;

std::string trimmed(const std::string& text) {
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
    auto end = std::find_if_not(text.rbegin(), std::string::const_reverse_iterator(begin), isSpace).base();
    return std::string(begin, end);
}

// The file's lines, when it is protected and readable.
std::optional<std::vector<std::string>> protectedLines(const std::string& path, const AllowedClient::Trust& trust,
                                                       std::string& problem) {
    if (!trust.isProtectedFile(path)) {
        problem = path + " is missing, or not a regular file owned by root that only root may write";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(kLargestFile) + 1, '\0');
    in.read(text.data(), kLargestFile + 1);
    if (in.bad() || (!in && !in.eof())) {
        problem = path + " cannot be read";
        return std::nullopt;
    }
    if (in.gcount() > kLargestFile) {
        problem = path + " is too large";
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::optional<std::uint32_t> numericUserID(const std::string& text) {
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), ::isdigit)) return std::nullopt;
    const unsigned long long value = std::stoull(text);
    // (uid_t)-1 means "no user" to the kernel.
    if (value >= 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> userFromConfiguration(const std::string& path, const AllowedClient::Trust& trust,
                                                   std::string& problem) {
    const auto lines = protectedLines(path, trust, problem);
    if (!lines) return std::nullopt;
    std::optional<std::string> user;
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const std::string line = trimmed((*lines)[i]);
        if (line.empty() || line.front() == '#') continue;
        const std::string where = path + ":" + std::to_string(i + 1) + ": ";
        const auto equals = line.find('=');
        const std::string key = trimmed(line.substr(0, equals));
        if (equals == std::string::npos || key != "user") {
            problem = where + "expected user=<name or user ID>, found \"" + line + "\"";
            return std::nullopt;
        }
        if (user) {
            problem = where + "the user is named twice";
            return std::nullopt;
        }
        user = trimmed(line.substr(equals + 1));
        if (user->empty()) {
            problem = where + "the user is empty";
            return std::nullopt;
        }
    }
    if (!user) {
        problem = path + " names no user: add a line user=<name or user ID>";
        return std::nullopt;
    }
    if (auto id = numericUserID(*user)) return id;
    if (auto id = trust.userID(*user)) return id;
    problem = path + ": there is no user \"" + *user + "\"";
    return std::nullopt;
}

std::optional<std::string> digestFromFile(const std::string& path, const AllowedClient::Trust& trust,
                                          std::string& problem) {
    const auto lines = protectedLines(path, trust, problem);
    if (!lines) return std::nullopt;
    const std::string first = lines->empty() ? std::string() : trimmed(lines->front());
    std::string digest = first.substr(0, first.find_first_of(" \t"));
    std::transform(digest.begin(), digest.end(), digest.begin(), [](unsigned char c) { return std::tolower(c); });
    if (digest.size() != 64 || !std::all_of(digest.begin(), digest.end(), ::isxdigit)) {
        problem = path + " does not start with a SHA-256 digest (64 hexadecimal digits)";
        return std::nullopt;
    }
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

std::optional<AllowedClient> AllowedClient::fromInstalledFiles(const InstalledFiles& files, const Trust& trust,
                                                               std::string& problem) {
    const auto user = userFromConfiguration(files.configurationPath, trust, problem);
    if (!user) return std::nullopt;
    const auto digest = digestFromFile(files.clientDigestPath, trust, problem);
    if (!digest) return std::nullopt;
    return AllowedClient{*user, platform::CodeRequirement::forSha256(*digest).text()};
}

}  // namespace ampwell
