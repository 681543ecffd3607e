#include "contract/RefreshWire.hpp"

#include <algorithm>

namespace ampwell::RefreshWire {
namespace {

RequestFrame makeRequest() {
    RequestFrame frame{};
    std::copy(kMagic.begin(), kMagic.end(), frame.begin());
    frame[4] = static_cast<std::uint8_t>(kVersion & 0xFF);
    frame[5] = static_cast<std::uint8_t>(kVersion >> 8);
    frame[6] = static_cast<std::uint8_t>(kRequestRefresh & 0xFF);
    frame[7] = static_cast<std::uint8_t>(kRequestRefresh >> 8);
    return frame;
}

const RequestFrame kRequest = makeRequest();

}  // namespace

RequestFrame encodeRequest() { return kRequest; }

ReplyFrame encodeReply(PowerRefreshService::Status status) {
    return ReplyFrame{static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(status >> 8),
                      static_cast<std::uint8_t>(status >> 16), static_cast<std::uint8_t>(status >> 24)};
}

PowerRefreshService::Status decodeReply(const ReplyFrame& frame) {
    return static_cast<PowerRefreshService::Status>(frame[0]) |
           static_cast<PowerRefreshService::Status>(frame[1]) << 8 |
           static_cast<PowerRefreshService::Status>(frame[2]) << 16 |
           static_cast<PowerRefreshService::Status>(frame[3]) << 24;
}

std::size_t RequestReader::feed(std::span<const std::uint8_t> bytes) {
    std::size_t complete = 0;
    if (malformed_) return 0;
    for (const std::uint8_t byte : bytes) {
        // Each byte is checked as it arrives, so a wrong header is refused at its first wrong
        // byte instead of after the client has sent a whole frame's worth.
        if (byte != kRequest[filled_]) {
            malformed_ = true;
            filled_ = 0;
            return complete;
        }
        if (++filled_ == kRequestSize) {
            filled_ = 0;
            ++complete;
        }
    }
    return complete;
}

}  // namespace ampwell::RefreshWire
