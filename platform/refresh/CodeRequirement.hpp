#pragma once

#include <optional>
#include <string>

namespace ampwell::platform {

// Which client executable may talk to the daemon. The text names the executable by a digest of
// its bytes, the platform's analogue of a code-directory hash: `sha256 H"<64 hex digits>"`.
class CodeRequirement {
public:
    // The requirement a text describes. nullopt with `error` set when the text is malformed;
    // nullopt with `error` empty when the text is empty (there is no requirement to build).
    static std::optional<CodeRequirement> parse(const std::string& text, std::string* error = nullptr);
    // The requirement that exactly the executable whose SHA-256 is `digestHex` satisfies.
    static CodeRequirement forSha256(const std::string& digestHex);

    // Whether an executable with this SHA-256 (hex digits, any case) satisfies the requirement.
    bool isSatisfiedBy(const std::string& sha256Hex) const;
    const std::string& sha256Hex() const { return sha256Hex_; }
    std::string text() const;

private:
    explicit CodeRequirement(std::string sha256Hex) : sha256Hex_(std::move(sha256Hex)) {}
    std::string sha256Hex_;  // lower case
};

}  // namespace ampwell::platform
