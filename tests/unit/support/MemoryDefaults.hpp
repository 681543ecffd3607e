#pragma once

#include "platform/base/Defaults.hpp"

#include <map>
#include <string>

namespace ampwell {

// A user-defaults domain held in memory that counts its writes, so tests can tell "written once
// on a change" from "written on every call".
class MemoryDefaults final : public platform::Defaults {
public:
    std::optional<platform::PropertyValue> value(const std::string& key) const override;
    void set(const std::string& key, const platform::PropertyValue& value) override;
    void remove(const std::string& key) override;

    bool contains(const std::string& key) const { return values_.count(key) != 0; }
    int sets() const { return sets_; }
    int removes() const { return removes_; }
    int writes() const { return sets_ + removes_; }

private:
    std::map<std::string, platform::PropertyValue> values_;
    int sets_ = 0;
    int removes_ = 0;
};

}  // namespace ampwell
