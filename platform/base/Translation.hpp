#pragma once

#include <fmt/format.h>

#include <string>
#include <utility>

namespace ampwell::platform {

// The message catalogs' domain: <locale directory>/<language>/LC_MESSAGES/ampwell.mo.
inline constexpr const char* kTextDomain = "ampwell";

// Chooses the catalog from LANGUAGE, LC_ALL, LC_MESSAGES and LANG and finds it: in `locale/` next
// to the executable when it runs from the build tree, else in the installed locale directory. The
// messages category alone is set, so numbers and the texts the program parses keep the C rules.
// A language asked for whose locale is not generated on the machine is still honoured, and so is
// LANGUAGE when no locale variable is set at all.
void useMessageCatalog();

// The directory useMessageCatalog() binds: `locale/` beside `executable` when that holds catalogs,
// else `installed`.
std::string catalogDirectory(const std::string& executable, const std::string& installed);

// `text` (the Chinese original, which is also the catalog's key) in the user's language; `text`
// itself when no catalog has it (Chinese, C and POSIX locales).
const char* tr(const char* text);

// A text with a counted number: the catalog picks the form for `count`.
const char* trPlural(const char* singular, const char* plural, unsigned long count);

// Marks a text for the catalog where it is defined as a constant; tr() translates it where shown.
constexpr const char* trMarked(const char* text) { return text; }

// tr(pattern) with its `{}` fields filled in; a translation may reorder them ({0}, {1}).
template <typename... Args>
std::string trFormat(const char* pattern, Args&&... args) {
    return fmt::format(fmt::runtime(tr(pattern)), std::forward<Args>(args)...);
}

// trPlural with its `{}` fields filled in; `count` picks the form and is not itself a field.
template <typename... Args>
std::string trPluralFormat(const char* singular, const char* plural, unsigned long count, Args&&... args) {
    return fmt::format(fmt::runtime(trPlural(singular, plural, count)), std::forward<Args>(args)...);
}

}  // namespace ampwell::platform
