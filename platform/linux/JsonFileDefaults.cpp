#include "platform/linux/JsonFileDefaults.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace ampwell::platform::linux_ {

namespace {

using nlohmann::json;

constexpr const char* kDataKey = "$data";

json toJson(const PropertyValue& value) {
    switch (value.kind()) {
    case PropertyValue::Kind::number: {
        const auto* number = value.number();
        if (number->whole) {
            // The decimal text is exact even where the double is not.
            try {
                if (!number->text.empty() && number->text.front() == '-') return json(std::stoll(number->text));
                return json(std::stoull(number->text));
            } catch (const std::exception&) {
            }
        }
        return json(number->value);
    }
    case PropertyValue::Kind::boolean: return json(*value.booleanValue());
    case PropertyValue::Kind::string: return json(*value.stringValue());
    case PropertyValue::Kind::data: {
        std::string hex;
        for (auto byte : *value.dataValue()) hex += fmt::format("{:02x}", byte);
        return json{{kDataKey, hex}};
    }
    case PropertyValue::Kind::array: {
        json array = json::array();
        for (const auto& item : *value.arrayValue()) array.push_back(toJson(item));
        return array;
    }
    case PropertyValue::Kind::dictionary: {
        json object = json::object();
        for (const auto& [key, item] : *value.dictionaryValue()) object[key] = toJson(item);
        return object;
    }
    }
    return json();
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Far deeper than any setting; the conversion below recurses once per level.
constexpr int kMaxDepth = 256;

// Throws std::runtime_error naming the JSON path of a value no property can hold.
PropertyValue fromJson(const json& value, const std::string& where, int depth = 1) {
    if (depth > kMaxDepth && (value.is_array() || value.is_object()))
        throw std::runtime_error(fmt::format("{} nests arrays and objects deeper than {} levels", where, kMaxDepth));
    switch (value.type()) {
    case json::value_t::boolean: return PropertyValue::boolean(value.get<bool>());
    case json::value_t::number_integer: return PropertyValue::wholeNumber(value.get<std::int64_t>());
    case json::value_t::number_unsigned: return PropertyValue::unsignedNumber(value.get<std::uint64_t>());
    case json::value_t::number_float: return PropertyValue::realNumber(value.get<double>());
    case json::value_t::string: return PropertyValue::string(value.get<std::string>());
    case json::value_t::array: {
        PropertyArray items;
        for (std::size_t i = 0; i < value.size(); ++i)
            items.push_back(fromJson(value[i], fmt::format("{}[{}]", where, i), depth + 1));
        return PropertyValue::array(std::move(items));
    }
    case json::value_t::object: {
        if (value.size() == 1 && value.contains(kDataKey)) {
            const auto& hex = value[kDataKey];
            if (!hex.is_string() || hex.get_ref<const std::string&>().size() % 2 != 0)
                throw std::runtime_error(fmt::format("{} is not valid byte data", where));
            PropertyData bytes;
            const auto& text = hex.get_ref<const std::string&>();
            for (std::size_t i = 0; i < text.size(); i += 2) {
                int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
                if (high < 0 || low < 0) throw std::runtime_error(fmt::format("{} is not valid byte data", where));
                bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
            }
            return PropertyValue::data(std::move(bytes));
        }
        PropertyDictionary entries;
        for (const auto& [key, item] : value.items()) entries.emplace(key, fromJson(item, where + "." + key, depth + 1));
        return PropertyValue::dictionary(std::move(entries));
    }
    default: throw std::runtime_error(fmt::format("{} holds a value of no supported kind", where));
    }
}

std::string directoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// mkdir -p with private permissions for what it creates.
void makeDirectories(const std::string& directory) {
    std::string partial;
    std::size_t start = 0;
    while (start < directory.size()) {
        std::size_t end = directory.find('/', start);
        if (end == std::string::npos) end = directory.size();
        partial = directory.substr(0, end);
        if (!partial.empty()) ::mkdir(partial.c_str(), 0700);
        start = end + 1;
    }
}

std::string timestamp() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

// Settings are a few keys; a file larger than this is not one the program wrote.
constexpr std::size_t kLargestSettingsFile = std::size_t{1} << 20;

// Reads the whole settings file: an empty text when it was read, otherwise what kept it from
// being read. `missing` tells a file that does not exist (nothing saved yet) from the rest.
std::string readSettingsFile(const std::string& path, std::string& contents, bool& missing) {
    // Without blocking: a named pipe nobody writes to must not hold the start-up for ever.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        missing = errno == ENOENT;
        return std::strerror(errno);
    }
    std::string problem;
    struct stat info {};
    if (::fstat(fd, &info) != 0) problem = std::strerror(errno);
    // A device such as /dev/zero never ends; a pipe or socket may never start.
    else if (!S_ISREG(info.st_mode)) problem = "it is not a regular file";
    char buffer[8192];
    while (problem.empty()) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) problem = std::strerror(errno);
        if (n <= 0) break;
        contents.append(buffer, static_cast<std::size_t>(n));
        if (contents.size() > kLargestSettingsFile) problem = "it is larger than 1 MB";
    }
    ::close(fd);
    return problem;
}

}  // namespace

JsonFileDefaults::JsonFileDefaults(std::string path, std::function<void(const std::string&)> report)
    : path_(std::move(path)), report_(std::move(report)) {
    load();
}

void JsonFileDefaults::report(const std::string& line) const {
    if (report_) report_(line);
}

void JsonFileDefaults::load() {
    std::string contents;
    bool missing = false;
    std::string problem = readSettingsFile(path_, contents, missing);
    if (missing) return;  // nothing saved yet
    if (problem.empty()) {
        try {
            const json document = json::parse(contents);
            if (!document.is_object()) throw std::runtime_error("it does not hold a JSON object");
            for (const auto& [key, item] : document.items()) values_.emplace(key, fromJson(item, key));
            return;
        } catch (const std::exception& error) {
            values_.clear();
            problem = error.what();
        }
    }

    // Keep the unreadable file under a name no other file has, then start empty.
    const std::string stem = path_ + ".unreadable-" + timestamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string aside = attempt == 1 ? stem : fmt::format("{}-{}", stem, attempt);
        if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            report(fmt::format("settings file {} could not be used ({}); it was kept as {} and defaults apply",
                               path_, problem, aside));
            return;
        }
        if (errno != EEXIST) break;
    }
    writable_ = false;
    report(fmt::format("settings file {} could not be used ({}) nor moved aside ({}); changes will not be saved",
                       path_, problem, std::strerror(errno)));
}

std::optional<PropertyValue> JsonFileDefaults::value(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void JsonFileDefaults::set(const std::string& key, const PropertyValue& value) {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(key, value);
    store();
}

void JsonFileDefaults::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key) == 0) return;
    store();
}

void JsonFileDefaults::store() {
    if (!writable_) {
        report(fmt::format("settings not saved: {} is kept untouched", path_));
        return;
    }
    json document = json::object();
    for (const auto& [key, item] : values_) document[key] = toJson(item);
    const std::string text = document.dump(2) + "\n";

    const std::string directory = directoryOf(path_);
    makeDirectories(directory);
    std::string temporary = path_ + ".tmp-XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        report(fmt::format("settings not saved to {}: {}", path_, std::strerror(errno)));
        return;
    }
    ::fchmod(fd, 0600);
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else written += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temporary.c_str(), path_.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        report(fmt::format("settings not saved to {}: {}", path_, std::strerror(savedErrno)));
        return;
    }
    // Make the rename itself durable.
    int directoryFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd >= 0) {
        ::fsync(directoryFd);
        ::close(directoryFd);
    }
}

}  // namespace ampwell::platform::linux_
