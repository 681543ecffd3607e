#include "platform/sim/SimJsonNode.hpp"

#include "platform/base/PlatformError.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>

namespace ampwell::platform::sim {
namespace {

std::optional<std::uint8_t> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return std::nullopt;
}

// The line of a parse error without the library's "[json.exception...] " tag, on one line.
std::string parseErrorText(const std::string& what) {
    std::string text = what;
    const auto tag = text.find("] ");
    if (text.rfind("[json.exception", 0) == 0 && tag != std::string::npos) text.erase(0, tag + 2);
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

}  // namespace

nlohmann::json parseJsonDocument(const std::string& text, const std::string& file) {
    // The library keeps the last of two equal keys; a duplicated key is a mistake in the file,
    // so the parser's events are followed to find it and name its place.
    struct Frame {
        bool array = false;
        std::size_t count = 0;
        std::string key;
        std::set<std::string> keys;
    };
    std::vector<Frame> frames;
    std::optional<std::string> duplicate;
    // The place of the value read last (`next`: of the value about to be read).
    const auto currentPath = [&frames](bool next = false) {
        std::string path = "$";
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const auto& frame = frames[i];
            const bool last = i + 1 == frames.size();
            path = frame.array ? jsonPathIndex(path, frame.count - (next && last ? 0 : 1)) : jsonPathKey(path, frame.key);
        }
        return path;
    };
    std::size_t values = 0;
    const auto countElement = [&frames, &values, &currentPath, &file] {
        if (!frames.empty() && frames.back().array) ++frames.back().count;
        if (++values > kMaxJsonValues)
            throw PlatformError(file + ": " + currentPath() + ": the file holds more than " +
                                std::to_string(kMaxJsonValues) + " values");
    };
    using Event = nlohmann::json::parse_event_t;
    const nlohmann::json::parser_callback_t callback = [&](int, Event event, nlohmann::json& parsed) {
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            countElement();
            if (frames.size() >= kMaxJsonDepth)
                throw PlatformError(file + ": " + currentPath() + ": arrays and objects nest deeper than " +
                                    std::to_string(kMaxJsonDepth) + " levels");
            frames.push_back(Frame{event == Event::array_start, 0, {}, {}});
            break;
        case Event::object_end:
        case Event::array_end:
            if (!frames.empty()) frames.pop_back();
            break;
        case Event::key:
            if (!frames.empty() && parsed.is_string()) {
                auto& frame = frames.back();
                frame.key = parsed.get<std::string>();
                if (!frame.keys.insert(frame.key).second && !duplicate) duplicate = currentPath();
            }
            break;
        case Event::value:
            countElement();
            break;
        }
        return true;
    };
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text, callback);
    } catch (const nlohmann::json::parse_error& error) {
        throw PlatformError(file + ": $: not JSON: " + parseErrorText(error.what()));
    } catch (const nlohmann::json::exception& error) {
        // A number too large for a double is valid JSON the library cannot hold.
        throw PlatformError(file + ": " + currentPath(true) + ": " + parseErrorText(error.what()));
    }
    if (duplicate) throw PlatformError(file + ": " + *duplicate + ": the key appears twice in its object");
    return document;
}

SimJsonNode::SimJsonNode(const nlohmann::json& value, std::string path, std::string file)
    : SimJsonNode(value, std::make_shared<const SimJsonPathStep>(SimJsonPathStep{nullptr, std::move(path), 0, false}),
                  std::move(file)) {}

SimJsonNode::SimJsonNode(const nlohmann::json& value, std::shared_ptr<const SimJsonPathStep> step, std::string file)
    : value_(&value), step_(std::move(step)), file_(std::move(file)) {}

SimJsonNode SimJsonNode::child(const nlohmann::json& value, const std::string& key) const {
    return SimJsonNode(value, std::make_shared<const SimJsonPathStep>(SimJsonPathStep{step_, key, 0, false}), file_);
}

SimJsonNode SimJsonNode::child(const nlohmann::json& value, std::size_t index) const {
    return SimJsonNode(value, std::make_shared<const SimJsonPathStep>(SimJsonPathStep{step_, {}, index, true}), file_);
}

std::string SimJsonNode::path() const {
    std::vector<const SimJsonPathStep*> steps;
    for (const SimJsonPathStep* step = step_.get(); step != nullptr; step = step->parent.get()) steps.push_back(step);
    std::string text = steps.back()->key;
    for (auto step = std::next(steps.rbegin()); step != steps.rend(); ++step)
        text = (*step)->isIndex ? jsonPathIndex(text, (*step)->index) : jsonPathKey(text, (*step)->key);
    return text;
}

void SimJsonNode::fail(const std::string& what) const { throw PlatformError(file_ + ": " + path() + ": " + what); }

std::string SimJsonNode::kindText() const { return jsonKindText(*value_); }

std::string SimJsonNode::string() const {
    if (!value_->is_string()) fail("expected a string, found " + kindText());
    return value_->get<std::string>();
}

std::string SimJsonNode::name() const {
    std::string text = string();
    if (text.empty()) fail("expected a non-empty string");
    return text;
}

double SimJsonNode::number() const {
    if (!value_->is_number()) fail("expected a number, found " + kindText());
    return value_->get<double>();
}

bool SimJsonNode::boolean() const {
    if (!value_->is_boolean()) fail("expected true or false, found " + kindText());
    return value_->get<bool>();
}

std::uint64_t SimJsonNode::wholeNumber() const {
    if (value_->is_number_unsigned()) return value_->get<std::uint64_t>();
    if (value_->is_number_integer()) fail("expected a whole number from 0, found " + value_->dump());
    fail("expected a whole number, found " + kindText());
}

std::uint64_t SimJsonNode::entryID() const {
    const std::uint64_t id = wholeNumber();
    if (id == 0) fail("entry ID 0 is not allowed");
    return id;
}

std::uint32_t SimJsonNode::code32() const {
    if (value_->is_string()) {
        const std::string text = value_->get<std::string>();
        const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        if (!prefixed || text.size() > 10) fail("expected a 32-bit code, found the text " + jsonQuoted(text));
        std::uint32_t code = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const auto digit = hexDigit(text[i]);
            if (!digit) fail("expected a 32-bit code, found the text " + jsonQuoted(text));
            code = code << 4 | *digit;
        }
        return code;
    }
    if (value_->is_number_unsigned()) {
        const auto value = value_->get<std::uint64_t>();
        if (value > 0xFFFFFFFFull) fail("the code " + value_->dump() + " does not fit in 32 bits");
        return static_cast<std::uint32_t>(value);
    }
    if (value_->is_number_integer()) {
        const auto value = value_->get<std::int64_t>();
        if (value < INT32_MIN) fail("the code " + value_->dump() + " does not fit in 32 bits");
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    }
    fail("expected a 32-bit code (a whole number or \"0x\" hex text), found " + kindText());
}

std::vector<SimJsonNode> SimJsonNode::items() const {
    if (!value_->is_array()) fail("expected an array, found " + kindText());
    std::vector<SimJsonNode> result;
    result.reserve(value_->size());
    for (std::size_t i = 0; i < value_->size(); ++i) result.push_back(child((*value_)[i], i));
    return result;
}

SimJsonObject SimJsonNode::object() const {
    if (!value_->is_object()) fail("expected an object, found " + kindText());
    return SimJsonObject(*this);
}

PropertyValue SimJsonNode::propertyValue() const {
    auto value = propertyValueFromJson(*value_, path());
    if (!value) throw PlatformError(file_ + ": " + value.error().path + ": " + value.error().what);
    return std::move(value).value();
}

PropertyDictionary SimJsonNode::propertyDictionary() const {
    auto dictionary = propertyDictionaryFromJson(*value_, path());
    if (!dictionary) throw PlatformError(file_ + ": " + dictionary.error().path + ": " + dictionary.error().what);
    return std::move(dictionary).value();
}

SimJsonObject::SimJsonObject(SimJsonNode node) : node_(std::move(node)) {}

bool SimJsonObject::has(const std::string& key) const { return node_.json().contains(key); }

std::optional<SimJsonNode> SimJsonObject::optional(const std::string& key) {
    const auto found = node_.json().find(key);
    if (found == node_.json().end()) return std::nullopt;
    read_.push_back(key);
    return node_.child(*found, key);
}

SimJsonNode SimJsonObject::required(const std::string& key) {
    auto value = optional(key);
    if (!value) node_.fail("missing key " + jsonQuoted(key));
    return *value;
}

std::vector<std::pair<std::string, SimJsonNode>> SimJsonObject::members() {
    std::vector<std::pair<std::string, SimJsonNode>> result;
    for (auto it = node_.json().begin(); it != node_.json().end(); ++it) {
        read_.push_back(it.key());
        result.emplace_back(it.key(), node_.child(it.value(), it.key()));
    }
    return result;
}

void SimJsonObject::finish() const {
    for (auto it = node_.json().begin(); it != node_.json().end(); ++it) {
        if (std::find(read_.begin(), read_.end(), it.key()) == read_.end())
            node_.child(it.value(), it.key()).fail("unknown key");
    }
}

}  // namespace ampwell::platform::sim
