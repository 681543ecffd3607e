#include "platform/base/Translation.hpp"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace ampwell::platform {
namespace {

// The locale name the environment asks for messages, in the order the C library reads it.
std::string requestedLocale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return {};
}

std::string runningExecutable() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace

std::string catalogDirectory(const std::string& executable, const std::string& installed) {
    if (executable.empty()) return installed;
    std::error_code error;
    const auto beside = std::filesystem::path(executable).parent_path() / "locale";
    return std::filesystem::is_directory(beside, error) ? beside.string() : installed;
}

void useMessageCatalog() {
    const std::string requested = requestedLocale();
    const char* language = std::getenv("LANGUAGE");
    const bool languageGiven = language && *language;
    if (!std::setlocale(LC_MESSAGES, "")) {
        // The C library looks a catalog up only under a locale it has loaded; a minimal system
        // generates none but C. C.UTF-8 is built in, and under it LANGUAGE names the catalog.
        if (!requested.empty() && std::setlocale(LC_MESSAGES, "C.UTF-8") && !languageGiven)
            ::setenv("LANGUAGE", requested.c_str(), 1);
    } else if (requested.empty() && languageGiven) {
        // No locale asked for at all: the C library would fall back to C and ignore LANGUAGE,
        // which is only right when C was chosen on purpose.
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    bindtextdomain(kTextDomain, catalogDirectory(runningExecutable(), AMPWELL_INSTALLED_LOCALEDIR).c_str());
    // The texts are written out as UTF-8 whatever the character set of the locale.
    bind_textdomain_codeset(kTextDomain, "UTF-8");
}

const char* tr(const char* text) { return dgettext(kTextDomain, text); }

const char* trPlural(const char* singular, const char* plural, unsigned long count) {
    return dngettext(kTextDomain, singular, plural, count);
}

}  // namespace ampwell::platform
