// The English catalog against the sources: every Chinese text in the code goes through the
// catalog and has an English translation that keeps its fields; the catalog is found beside a
// program in the build tree.
#include "platform/base/Translation.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ampwell::platform {
namespace {

namespace fs = std::filesystem;

struct Entry {
    std::string msgid;
    std::vector<std::string> msgstrs;
    bool fuzzy = false;
    bool composed = false;  // a piece the code composes into a text the catalog translates whole
};

// The C-string escapes a PO file uses.
std::string unquoted(const std::string& quoted) {
    std::string text;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            text += quoted[i];
            continue;
        }
        const char next = quoted[++i];
        text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return text;
}

// The entries of a PO file or template, by msgid (the header, msgid "", left out).
std::map<std::string, Entry> parsePo(std::istream& in) {
    std::map<std::string, Entry> entries;
    Entry entry;
    std::string* field = nullptr;
    auto finish = [&] {
        if (!entry.msgid.empty()) entries[entry.msgid] = entry;
        entry = Entry{};
        field = nullptr;
    };
    std::string line;
    std::string lastKeyword;
    while (std::getline(in, line)) {
        if (line.empty()) {
            finish();
            lastKeyword.clear();
            continue;
        }
        if (line.rfind("#,", 0) == 0 && line.find("fuzzy") != std::string::npos) entry.fuzzy = true;
        if (line.rfind("#.", 0) == 0 && line.find("i18n: composed") != std::string::npos) entry.composed = true;
        if (line[0] == '#') continue;
        if (line[0] == '"') {
            if (field) *field += unquoted(line);
            continue;
        }
        const auto space = line.find(' ');
        const std::string keyword = line.substr(0, space);
        if (keyword == "msgid" && (lastKeyword.rfind("msgstr", 0) == 0)) finish();
        lastKeyword = keyword;
        if (keyword == "msgid") {
            field = &entry.msgid;
        } else if (keyword.rfind("msgstr", 0) == 0) {
            entry.msgstrs.emplace_back();
            field = &entry.msgstrs.back();
        } else {
            field = nullptr;  // msgid_plural: the singular is the key
            continue;
        }
        *field += unquoted(line.substr(space + 1));
    }
    finish();
    return entries;
}

std::map<std::string, Entry> readPo(const fs::path& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot read " << path;
    return parsePo(in);
}

// Runs xgettext over `files` (relative to the source tree) and parses what it extracted.
std::map<std::string, Entry> extract(const std::vector<std::string>& files, const std::string& keywords) {
    const fs::path list = fs::path(::testing::TempDir()) / ("catalog-files-" + std::to_string(::getpid()));
    {
        std::ofstream out(list);
        for (const auto& file : files) out << file << '\n';
    }
    const std::string command = std::string(AMPWELL_XGETTEXT) + " --from-code=UTF-8 --language=C++ --no-wrap " +
                                "--add-comments=i18n: " + keywords + " --directory=" AMPWELL_SOURCE_DIR +
                                " --files-from=" + list.string() + " --output=- 2>/dev/null";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
        EXPECT_EQ(::pclose(pipe), 0) << output;
    }
    fs::remove(list);
    std::istringstream in(output);
    return parsePo(in);
}

constexpr const char* kMarkers = "-k -ktr -ktrMarked -ktrFormat -ktrPlural:1,2 -ktrPluralFormat:1,2";

std::vector<std::string> potFiles() {
    std::vector<std::string> files;
    std::ifstream in(fs::path(AMPWELL_SOURCE_DIR) / "po/POTFILES");
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') files.push_back(line);
    return files;
}

// Every C++ file of the programs (the tests show nothing to a user).
std::vector<std::string> programSources() {
    std::vector<std::string> files;
    for (const char* top : {"app", "platform", "daemon", "contract"})
        for (const auto& item : fs::recursive_directory_iterator(fs::path(AMPWELL_SOURCE_DIR) / top)) {
            const auto extension = item.path().extension();
            if (extension == ".cpp" || extension == ".hpp")
                files.push_back(fs::relative(item.path(), AMPWELL_SOURCE_DIR).string());
        }
    return files;
}

// Chinese script or the full-width punctuation that goes with it (CJK punctuation and symbols,
// ideographs, full-width forms).
bool hasChinese(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (length == 3 && i + 2 < text.size()) {
            const char32_t point =
                (char32_t(lead & 0x0F) << 12) | (char32_t(text[i + 1] & 0x3F) << 6) | char32_t(text[i + 2] & 0x3F);
            if ((point >= 0x3000 && point <= 0x303F) || (point >= 0x3400 && point <= 0x9FFF) ||
                (point >= 0xFF00 && point <= 0xFFEF))
                return true;
        }
        i += length;
    }
    return false;
}

TEST(MessageCatalog, EveryChineseTextOfTheProgramsIsMarkedListedAndTranslated) {
    const auto listed = extract(potFiles(), kMarkers);
    const auto marked = extract(programSources(), kMarkers);
    const auto everyText = extract(programSources(), "--extract-all");
    const auto english = readPo(fs::path(AMPWELL_SOURCE_DIR) / "po/en.po");
    ASSERT_FALSE(listed.empty());

    for (const auto& [text, entry] : everyText) {
        if (hasChinese(text) && !entry.composed) {
            EXPECT_TRUE(marked.count(text)) << "shown untranslated, not passed through tr(): \"" << text << "\"";
        }
    }
    for (const auto& [text, entry] : marked) {
        EXPECT_TRUE(listed.count(text)) << "marked in a file that po/POTFILES does not list: \"" << text << "\"";
    }
    for (const auto& [text, entry] : listed) {
        const auto found = english.find(text);
        if (found == english.end()) {
            ADD_FAILURE() << "not in po/en.po: \"" << text << "\"";
            continue;
        }
        EXPECT_FALSE(found->second.fuzzy) << "fuzzy in po/en.po: \"" << text << "\"";
        for (const auto& translation : found->second.msgstrs) {
            EXPECT_FALSE(translation.empty()) << "untranslated in po/en.po: \"" << text << "\"";
            EXPECT_FALSE(hasChinese(translation)) << "Chinese left in the English of \"" << text << "\"";
        }
    }
}

// The {} fields of a format text as (argument index, format options); unnumbered fields count up.
std::multiset<std::pair<int, std::string>> fieldsOf(const std::string& text) {
    std::multiset<std::pair<int, std::string>> fields;
    static const std::regex field(R"(\{(\d*)(:[^}]*)?\})");
    int next = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), field); it != std::sregex_iterator(); ++it) {
        const std::string index = (*it)[1];
        fields.insert({index.empty() ? next++ : std::stoi(index), (*it)[2]});
    }
    return fields;
}

TEST(MessageCatalog, EveryTranslationFillsTheSameFieldsAsItsOriginal) {
    // A translation that drops, adds or reformats a field either throws when it is filled in or
    // shows a number wrongly; both only under that language.
    for (const auto& [text, entry] : readPo(fs::path(AMPWELL_SOURCE_DIR) / "po/en.po"))
        for (const auto& translation : entry.msgstrs)
            EXPECT_EQ(fieldsOf(translation), fieldsOf(text)) << "\"" << text << "\" → \"" << translation << "\"";
}

TEST(MessageCatalog, IsFoundBesideAProgramOfTheBuildTreeAndInstalledOtherwise) {
    const fs::path tree = fs::path(::testing::TempDir()) / ("catalog-tree-" + std::to_string(::getpid()));
    fs::create_directories(tree / "bin");
    EXPECT_EQ(catalogDirectory((tree / "bin/ampwell").string(), "/usr/share/locale"), "/usr/share/locale");
    fs::create_directories(tree / "bin/locale");
    EXPECT_EQ(catalogDirectory((tree / "bin/ampwell").string(), "/usr/share/locale"), (tree / "bin/locale").string());
    EXPECT_EQ(catalogDirectory("", "/usr/share/locale"), "/usr/share/locale");
    fs::remove_all(tree);
}

}  // namespace
}  // namespace ampwell::platform
