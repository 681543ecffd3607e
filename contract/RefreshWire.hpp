#pragma once

#include "contract/PowerRefreshService.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// How one refresh request and its reply travel over the Linux service socket. A request is a fixed
// header and nothing else; the reply is the status as four bytes. Both are little-endian.
namespace ampwell::RefreshWire {

// Where the daemon's socket is unless the environment names another path.
inline constexpr const char* kDefaultSocketPath = "/run/ampwell/refresh.sock";
// The environment variable both programs read for another socket path (tests, a second install).
inline constexpr const char* kSocketPathVariable = "AMPWELL_REFRESH_SOCKET";

inline constexpr std::array<std::uint8_t, 4> kMagic{'A', 'M', 'P', 'R'};
inline constexpr std::uint16_t kVersion = 1;
// The one method: requestRefreshWithReply:.
inline constexpr std::uint16_t kRequestRefresh = 1;
inline constexpr std::size_t kRequestSize = 8;
inline constexpr std::size_t kReplySize = 4;

using RequestFrame = std::array<std::uint8_t, kRequestSize>;
using ReplyFrame = std::array<std::uint8_t, kReplySize>;

RequestFrame encodeRequest();
ReplyFrame encodeReply(PowerRefreshService::Status status);
PowerRefreshService::Status decodeReply(const ReplyFrame& frame);

// Reads requests out of a byte stream as it arrives. Anything that is not exactly a request
// header makes the stream malformed for good: the daemon then closes the connection without
// answering.
class RequestReader {
public:
    enum class State { needMore, malformed };

    // Takes the next bytes; returns how many complete requests they finished (the caller answers
    // each, in order). Once malformed, takes nothing more and returns 0.
    std::size_t feed(std::span<const std::uint8_t> bytes);
    bool isMalformed() const { return malformed_; }
    // Bytes of an unfinished request held back.
    std::size_t pendingBytes() const { return filled_; }

private:
    RequestFrame partial_{};
    std::size_t filled_ = 0;
    bool malformed_ = false;
};

}  // namespace ampwell::RefreshWire
