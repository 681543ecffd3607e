#include "contract/RefreshWire.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace ampwell::RefreshWire {
namespace {

std::vector<std::uint8_t> requests(int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const auto frame = encodeRequest();
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

TEST(RefreshWire, RequestsAreCountedHoweverTheBytesAreSplit) {
    const auto bytes = requests(3);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        RequestReader reader;
        std::size_t complete = reader.feed({bytes.data(), cut});
        complete += reader.feed({bytes.data() + cut, bytes.size() - cut});
        EXPECT_EQ(complete, 3u) << "cut at " << cut;
        EXPECT_EQ(reader.pendingBytes(), 0u);
        EXPECT_FALSE(reader.isMalformed());
    }
}

TEST(RefreshWire, AnyWrongByteMakesTheStreamMalformedForGood) {
    const auto good = requests(1);
    for (std::size_t at = 0; at < good.size(); ++at) {
        auto bytes = requests(2);
        bytes[kRequestSize + at] ^= 0x40;  // the second request is wrong at `at`
        RequestReader reader;
        EXPECT_EQ(reader.feed(bytes), 1u) << "byte " << at;
        EXPECT_TRUE(reader.isMalformed());
        EXPECT_EQ(reader.feed(good), 0u) << "a malformed stream accepted a later request";
    }
}

TEST(RefreshWire, ReplyCarriesAllThirtyTwoBits) {
    for (const std::uint32_t status : {0u, 1u, PowerRefreshService::kIOReturnBusy, 0xFFFFFFFFu})
        EXPECT_EQ(decodeReply(encodeReply(status)), status);
    EXPECT_EQ(encodeReply(PowerRefreshService::kIOReturnBusy), (ReplyFrame{0xD5, 0x02, 0x00, 0xE0}));
}

}  // namespace
}  // namespace ampwell::RefreshWire
