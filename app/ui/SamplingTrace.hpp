#pragma once

#include "platform/base/Clock.hpp"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// The JSON-lines file a developer asks for with "--trace-sampling PATH": one object per line,
// keys sorted, appended after whatever the file already holds. Writing never disturbs the
// application: a record that cannot be serialised or written is dropped. Main thread only.
class SamplingTrace {
public:
    static constexpr const char* kOption = "--trace-sampling";

    // The path after the first "--trace-sampling", or nullopt when the option is absent or last.
    static std::optional<std::string> pathFromArguments(const std::vector<std::string>& arguments);
    // Creates the file empty when it does not exist and opens it for appending; nullptr when it
    // cannot be opened.
    static std::unique_ptr<SamplingTrace> open(const std::string& path);

    ~SamplingTrace();
    SamplingTrace(const SamplingTrace&) = delete;
    SamplingTrace& operator=(const SamplingTrace&) = delete;

    // Sets "time" to `now` in seconds since 1970 (replacing any the caller gave), then appends the
    // record and a line feed.
    void write(nlohmann::json record, platform::Date now);

private:
    explicit SamplingTrace(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace ampwell
