#pragma once

#include "platform/base/Defaults.hpp"

#include <functional>
#include <mutex>
#include <string>

namespace ampwell::platform::linux_ {

// The user-defaults domain as one JSON object in a file ($XDG_CONFIG_HOME/ampwell/defaults.json).
// Values keep their kind, in the JSON form of properties (see PropertyJson.hpp). The file is read
// once, when the domain opens; every change rewrites it through a temporary file and a rename, so a
// crash leaves the old or the new file, never half of one. A file that cannot be read or parsed is
// renamed aside ("defaults.json.unreadable-…") and reported, never overwritten. Thread-safe.
class JsonFileDefaults final : public Defaults {
public:
    // `report` hears one line for each problem (a file kept aside, a write that failed).
    explicit JsonFileDefaults(std::string path, std::function<void(const std::string&)> report = {});

    std::optional<PropertyValue> value(const std::string& key) const override;
    void set(const std::string& key, const PropertyValue& value) override;
    void remove(const std::string& key) override;

    const std::string& path() const { return path_; }

private:
    void load();
    // Takes the values of the file's text; what is wrong with it ("" when nothing is).
    std::string parse(const std::string& contents);
    void store();
    void report(const std::string& line) const;

    std::string path_;
    std::function<void(const std::string&)> report_;
    mutable std::mutex mutex_;
    PropertyDictionary values_;
    // False when an unreadable file could not be moved aside: it is then left alone and changes
    // stay in memory.
    bool writable_ = true;
};

}  // namespace ampwell::platform::linux_
