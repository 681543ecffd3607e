#include "platform/linux/JsonFileDefaults.hpp"

#include "platform/base/FileDescriptor.hpp"
#include "platform/base/PropertyJson.hpp"
#include "platform/base/ReadFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace ampwell::platform::linux_ {

namespace {

using nlohmann::json;

// Far more than any settings file holds; a larger one is treated as unreadable.
constexpr std::size_t kMaximumFileSize = 1 << 20;

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

}  // namespace

JsonFileDefaults::JsonFileDefaults(std::string path, std::function<void(const std::string&)> report)
    : path_(std::move(path)), report_(std::move(report)) {
    load();
}

std::string JsonFileDefaults::parse(const std::string& contents) {
    const json document = json::parse(contents, nullptr, false);
    if (document.is_discarded()) return "it is not JSON";
    if (!document.is_object()) return "it does not hold a JSON object";
    auto values = propertyDictionaryFromJson(document, "$");
    if (!values) return values.error().path + ": " + values.error().what;
    values_ = std::move(values).value();
    return {};
}

void JsonFileDefaults::report(const std::string& line) const {
    if (report_) report_(line);
}

void JsonFileDefaults::load() {
    const auto contents = readWholeFile(path_, kMaximumFileSize);
    if (!contents && contents.error() == ENOENT) return;  // nothing saved yet
    const std::string problem = contents ? parse(*contents) : readFailureText(contents.error(), kMaximumFileSize);
    if (problem.empty()) return;

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
    const auto document = propertyValueToJson(PropertyValue::dictionary(values_), "$");
    if (!document) {
        report(fmt::format("settings not saved to {}: {}: {}", path_, document.error().path, document.error().what));
        return;
    }
    const std::string text = document->dump(2) + "\n";

    const std::string directory = directoryOf(path_);
    makeDirectories(directory);
    std::string temporary = path_ + ".tmp-XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (!file) {
        report(fmt::format("settings not saved to {}: {}", path_, std::strerror(errno)));
        return;
    }
    ::fchmod(file.get(), 0600);
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < text.size()) {
        ssize_t n = ::write(file.get(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else written += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(file.get()) != 0) ok = false;
    int savedErrno = errno;
    if (const int closeError = file.close(); closeError != 0 && ok) {
        ok = false;
        savedErrno = closeError;
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
    if (const auto directoryFile = FileDescriptor::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC))
        ::fsync(directoryFile.get());
}

}  // namespace ampwell::platform::linux_
