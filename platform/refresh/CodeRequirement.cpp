#include "platform/refresh/CodeRequirement.hpp"

#include <algorithm>
#include <cctype>

namespace ampwell::platform {
namespace {

constexpr std::size_t kSha256HexDigits = 64;
constexpr const char* kPrefix = "sha256 H\"";

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

}  // namespace

std::optional<CodeRequirement> CodeRequirement::parse(const std::string& text, std::string* error) {
    if (error) error->clear();
    if (text.empty()) return std::nullopt;
    const std::string prefix = kPrefix;
    const bool shaped = text.size() == prefix.size() + kSha256HexDigits + 1 && text.compare(0, prefix.size(), prefix) == 0 &&
                        text.back() == '"';
    const std::string digits = shaped ? text.substr(prefix.size(), kSha256HexDigits) : std::string();
    if (!shaped || !std::all_of(digits.begin(), digits.end(), isHexDigit)) {
        if (error) *error = "expected sha256 H\"<64 hexadecimal digits>\"";
        return std::nullopt;
    }
    return CodeRequirement(lowerCase(digits));
}

CodeRequirement CodeRequirement::forSha256(const std::string& digestHex) { return CodeRequirement(lowerCase(digestHex)); }

bool CodeRequirement::isSatisfiedBy(const std::string& sha256Hex) const {
    return sha256Hex.size() == kSha256HexDigits && lowerCase(sha256Hex) == sha256Hex_;
}

std::string CodeRequirement::text() const { return std::string(kPrefix) + sha256Hex_ + "\""; }

}  // namespace ampwell::platform
