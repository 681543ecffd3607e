// Feeds arbitrary byte streams, cut into arbitrary pieces, to the daemon's request reader. Whatever
// arrives, the reader must count exactly the whole request headers that precede the first wrong
// byte, refuse everything after it, and never hold more than one unfinished header.
#include "contract/RefreshWire.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// What the reader must answer for the whole stream: requests before the first byte that breaks
// the pattern, and whether such a byte exists.
std::pair<std::size_t, bool> expected(const std::vector<std::uint8_t>& stream) {
    const auto frame = ampwell::RefreshWire::encodeRequest();
    for (std::size_t i = 0; i < stream.size(); ++i)
        if (stream[i] != frame[i % frame.size()]) return {i / frame.size(), true};
    return {stream.size() / frame.size(), false};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ampwell::RefreshWire;
    FuzzedDataProvider input(data, size);
    // Streams made mostly of real headers reach deep; the provider's bytes decide where they break.
    std::vector<std::uint8_t> stream;
    const auto frame = encodeRequest();
    while (input.remaining_bytes() > 0 && stream.size() < 4096) {
        if (input.ConsumeBool()) {
            stream.insert(stream.end(), frame.begin(), frame.end());
        } else {
            const auto piece = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(1, 12));
            stream.insert(stream.end(), piece.begin(), piece.end());
        }
    }
    RequestReader reader;
    std::size_t counted = 0;
    std::size_t offset = 0;
    std::size_t cutSeed = size;
    while (offset < stream.size()) {
        cutSeed = cutSeed * 6364136223846793005ull + 1442695040888963407ull;
        const std::size_t piece = std::min<std::size_t>(stream.size() - offset, 1 + (cutSeed >> 59));
        counted += reader.feed({stream.data() + offset, piece});
        require(reader.pendingBytes() < kRequestSize);
        offset += piece;
    }
    const auto [requests, malformed] = expected(stream);
    require(counted == requests);
    require(reader.isMalformed() == malformed);
    // A whole header after the stream counts only where the stream ended cleanly.
    const bool clean = !malformed && reader.pendingBytes() == 0;
    require(reader.feed({frame.data(), frame.size()}) == (clean ? 1u : 0u));
    return 0;
}
