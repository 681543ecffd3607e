#pragma once

#include <string>
#include <string_view>

namespace ampwell {

// Unicode helpers over UTF-8 text (invalid bytes are kept as they are, never dropped).

// True for white space and line breaks (Unicode Zs, Zl, Zp and the control breaks/tabs).
bool isWhitespaceOrNewline(char32_t codePoint);
// Removes white space and line breaks at both ends.
std::string trimmedWhitespaceAndNewlines(std::string_view text);
// Lower-cases every code point (simple case mapping).
std::string lowercased(std::string_view text);
// Case-folded form for case-insensitive comparison and containment.
std::string caseFolded(std::string_view text);
// Whether `text` contains `needle` when both are case-folded. Allocates nothing for ASCII text,
// so it can run for every device on every refresh.
bool containsCaseFolded(std::string_view text, std::string_view needle);
// Canonical composition (NFC), so that equivalent spellings compare equal code point by code point.
std::string canonicallyNormalized(std::string_view text);
// `text` made safe for one line of terminal output: control characters (line feeds, escapes and
// the rest of Unicode Cc), line and paragraph separators, and bytes that are not UTF-8 each become
// U+FFFD, so that a name can neither break the line nor steer the terminal.
std::string lineSafe(std::string_view text);
// Code-point order of two UTF-8 texts: <0, 0, >0.
int compareCodePoints(std::string_view a, std::string_view b);

}  // namespace ampwell
