#include "app/text/UnicodeText.hpp"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace ampwell {
namespace {

struct Decoded {
    char32_t codePoint;
    std::size_t length;  // bytes taken; an invalid byte is taken alone as U+FFFD
    bool valid;
};

Decoded decodeAt(std::string_view text, std::size_t offset) {
    utf8proc_int32_t cp = 0;
    auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + offset),
                              static_cast<utf8proc_ssize_t>(text.size() - offset), &cp);
    if (n <= 0) return {0xFFFD, 1, false};
    return {static_cast<char32_t>(cp), static_cast<std::size_t>(n), true};
}

void appendCodePoint(std::string& out, char32_t cp) {
    utf8proc_uint8_t buffer[4];
    auto n = utf8proc_encode_char(static_cast<utf8proc_int32_t>(cp), buffer);
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

template <typename Map>
std::string mapCodePoints(std::string_view text, Map map) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto d = decodeAt(text, i);
        if (d.valid) appendCodePoint(out, map(d.codePoint));
        else out.push_back(text[i]);
        i += d.length;
    }
    return out;
}

std::string utf8procMap(std::string_view text, int options) {
    utf8proc_uint8_t* result = nullptr;
    auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                          static_cast<utf8proc_ssize_t>(text.size()), &result,
                          static_cast<utf8proc_option_t>(options));
    if (n < 0) return std::string(text);  // invalid UTF-8: leave the text as it is
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(result, &std::free);
    return std::string(reinterpret_cast<const char*>(result), static_cast<std::size_t>(n));
}

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Names and serial numbers are nearly always ASCII, where lower case, case folding and
// composition all come down to mapping A–Z; it spares the Unicode tables on every refresh.
std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

bool isWhitespaceOrNewline(char32_t cp) {
    if (cp == '\t' || cp == '\n' || cp == '\v' || cp == '\f' || cp == '\r' || cp == 0x85) return true;
    auto category = utf8proc_category(static_cast<utf8proc_int32_t>(cp));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
           category == UTF8PROC_CATEGORY_ZP;
}

std::string trimmedWhitespaceAndNewlines(std::string_view text) {
    if (isAscii(text)) {
        constexpr std::string_view kAsciiBlanks = " \t\n\v\f\r";
        const auto begin = text.find_first_not_of(kAsciiBlanks);
        if (begin == std::string_view::npos) return {};
        return std::string(text.substr(begin, text.find_last_not_of(kAsciiBlanks) - begin + 1));
    }
    std::size_t begin = 0;
    std::size_t end = 0;  // one past the last byte that is not white space
    bool seenContent = false;
    for (std::size_t i = 0; i < text.size();) {
        auto d = decodeAt(text, i);
        if (!(d.valid && isWhitespaceOrNewline(d.codePoint))) {
            if (!seenContent) begin = i;
            seenContent = true;
            end = i + d.length;
        }
        i += d.length;
    }
    return seenContent ? std::string(text.substr(begin, end - begin)) : std::string();
}

std::string lowercased(std::string_view text) {
    if (isAscii(text)) return asciiLowercased(text);
    return mapCodePoints(text, [](char32_t cp) {
        return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(cp)));
    });
}

std::string caseFolded(std::string_view text) {
    if (isAscii(text)) return asciiLowercased(text);
    return utf8procMap(text, UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD);
}

bool containsCaseFolded(std::string_view text, std::string_view needle) {
    if (!isAscii(text) || !isAscii(needle)) return caseFolded(text).find(caseFolded(needle)) != std::string::npos;
    const auto folded = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [&folded](char a, char b) { return folded(a) == folded(b); }) != text.end();
}

std::string canonicallyNormalized(std::string_view text) {
    if (isAscii(text)) return std::string(text);
    return utf8procMap(text, UTF8PROC_STABLE | UTF8PROC_COMPOSE);
}

std::string lineSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto d = decodeAt(text, i);
        const auto category = d.valid ? utf8proc_category(static_cast<utf8proc_int32_t>(d.codePoint)) : 0;
        const bool unsafe = !d.valid || category == UTF8PROC_CATEGORY_CC || category == UTF8PROC_CATEGORY_ZL ||
                            category == UTF8PROC_CATEGORY_ZP;
        if (unsafe) appendCodePoint(out, 0xFFFD);
        else out.append(text.substr(i, d.length));
        i += d.length;
    }
    return out;
}

int compareCodePoints(std::string_view a, std::string_view b) {
    // UTF-8 byte order is code-point order for valid text.
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace ampwell
