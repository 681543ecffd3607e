#pragma once

#include "platform/base/PropertyJson.hpp"
#include "platform/base/PropertyValue.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ampwell::platform::sim {

class SimJsonObject;

// How deep arrays and objects may nest in a document: far beyond any real file, and shallow
// enough that the recursive conversions never run out of stack.
inline constexpr std::size_t kMaxJsonDepth = 256;
// How many values (numbers, strings, arrays, objects, ...) a document may hold. Every value read
// costs well over a hundred bytes once it is a property of the simulated Mac; the limit keeps a
// file of a few megabytes of "0," from taking gigabytes, and is still several times what the
// whole registry of a real machine holds.
inline constexpr std::size_t kMaxJsonValues = 100000;

// Parses a whole document. A text that is not JSON, a number no double holds, nesting deeper
// than kMaxJsonDepth, more than kMaxJsonValues values, or an object with the same key twice,
// fails with PlatformError
// "<file>: <JSON path>: <what is wrong>".
nlohmann::json parseJsonDocument(const std::string& text, const std::string& file);

// One step of a JSON path. Nodes share their ancestors' steps, so a path costs one step per
// level and its text is only put together when a message needs it.
struct SimJsonPathStep {
    std::shared_ptr<const SimJsonPathStep> parent;  // null for the root
    std::string key;                                // the root's text, or an object key
    std::size_t index = 0;
    bool isIndex = false;
};

// One value of the simulation file together with its place in it, so that every complaint about
// it names the file and the JSON path. Each typed read fails with PlatformError when the value
// has another type. The document must outlive the node.
class SimJsonNode {
public:
    SimJsonNode(const nlohmann::json& value, std::string path, std::string file);

    const nlohmann::json& json() const { return *value_; }
    std::string path() const;
    const std::string& file() const { return file_; }
    // Throws PlatformError "<file>: <path>: <what>".
    [[noreturn]] void fail(const std::string& what) const;
    // What kind of JSON value this is, for messages ("a string", "an object", ...).
    std::string kindText() const;

    bool isNull() const { return value_->is_null(); }
    bool isArray() const { return value_->is_array(); }
    std::string string() const;
    // A non-empty string.
    std::string name() const;
    // Any number.
    double number() const;
    bool boolean() const;
    // A whole number from 0 to 2^64 - 1.
    std::uint64_t wholeNumber() const;
    // A registry entry ID: a whole number that is not 0.
    std::uint64_t entryID() const;
    // A 32-bit code: a whole number from -2^31 to 2^32 - 1, or a text "0x" and 1 to 8 hex
    // digits; kept as its 32 bits.
    std::uint32_t code32() const;
    std::vector<SimJsonNode> items() const;
    SimJsonObject object() const;
    // The value in the JSON form of properties (see PropertyJson.hpp).
    PropertyValue propertyValue() const;
    PropertyDictionary propertyDictionary() const;

private:
    SimJsonNode(const nlohmann::json& value, std::shared_ptr<const SimJsonPathStep> step, std::string file);
    SimJsonNode child(const nlohmann::json& value, const std::string& key) const;
    SimJsonNode child(const nlohmann::json& value, std::size_t index) const;
    friend class SimJsonObject;

    const nlohmann::json* value_;
    std::shared_ptr<const SimJsonPathStep> step_;
    std::string file_;
};

// Reads the members of one object and insists that every member was read: a section asks for
// the keys it knows, then finish() names the first key nobody asked for. Adding a key to the
// format is one more optional() call.
class SimJsonObject {
public:
    explicit SimJsonObject(SimJsonNode node);

    const SimJsonNode& node() const { return node_; }
    bool has(const std::string& key) const;
    std::optional<SimJsonNode> optional(const std::string& key);
    SimJsonNode required(const std::string& key);
    // Every member in key order, all counted as read (for maps whose keys are data).
    std::vector<std::pair<std::string, SimJsonNode>> members();
    // Fails at the first member that was not read: "unknown key".
    void finish() const;

private:
    SimJsonNode node_;
    std::vector<std::string> read_;
};

}  // namespace ampwell::platform::sim
