#include "app/reset/USBResetTarget.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <vector>

namespace ampwell {
namespace {

USBResetTarget sample() {
    return USBResetTarget{4294968100, "iPad", "00008103-001A", "1234567", 1452, false, 2};
}

TEST(USBResetTarget, EveryFieldTakesPartInEquality) {
    const USBResetTarget base = sample();
    EXPECT_EQ(base, sample());
    std::vector<USBResetTarget> changed(7, base);
    changed[0].registryID = 4294968101;
    changed[1].productName = "iPad Pro";
    changed[2].serial = "00008103-001B";
    changed[3].sessionID = "1234568";
    changed[4].vendorID.reset();
    changed[5].isHub = true;
    changed[6].port.reset();
    for (const auto& other : changed) EXPECT_NE(base, other) << hashValue(other);
}

TEST(USBResetTarget, CanonicallyEquivalentTextsAreEqualAndHashEqually) {
    USBResetTarget composed = sample();
    composed.productName = "Caf\xC3\xA9 Hub";  // U+00E9
    USBResetTarget decomposed = composed;
    decomposed.productName = "Cafe\xCC\x81 Hub";  // e + U+0301
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ(std::hash<USBResetTarget>{}(composed), std::hash<USBResetTarget>{}(decomposed));
    const std::unordered_set<USBResetTarget> set{composed, decomposed, sample()};
    EXPECT_EQ(set.size(), 2u);
}

TEST(USBResetTarget, HashKeepsOptionalPresenceAndFieldOrder) {
    USBResetTarget absentVendor = sample();
    absentVendor.vendorID.reset();
    USBResetTarget zeroVendor = sample();
    zeroVendor.vendorID = 0;
    EXPECT_NE(hashValue(absentVendor), hashValue(zeroVendor));

    // The same number in the vendor field or in the port field is a different target.
    USBResetTarget vendorOnly = sample();
    vendorOnly.vendorID = 5;
    vendorOnly.port.reset();
    USBResetTarget portOnly = sample();
    portOnly.vendorID.reset();
    portOnly.port = 5;
    EXPECT_NE(hashValue(vendorOnly), hashValue(portOnly));

    USBResetTarget hub = sample();
    hub.isHub = true;
    EXPECT_NE(hashValue(hub), hashValue(sample()));
}

std::vector<std::uint64_t> sortedIDs(std::vector<USBResetTarget> targets) {
    std::stable_sort(targets.begin(), targets.end(), comesBefore);
    std::vector<std::uint64_t> ids;
    for (const auto& t : targets) ids.push_back(t.registryID);
    return ids;
}

USBResetTarget at(std::uint64_t id, std::optional<std::int64_t> port, std::string name) {
    return USBResetTarget{id, std::move(name), "", "1", std::nullopt, false, port};
}

TEST(USBResetTarget, ListOrderIsPortThenNameThenRegistryID) {
    EXPECT_EQ(sortedIDs({at(1, std::nullopt, "A"), at(2, 2, "Z"), at(3, 1, "Z")}),
              (std::vector<std::uint64_t>{3, 2, 1}));
    // Same port, same name: ascending registry ID, whatever the input order.
    EXPECT_EQ(sortedIDs({at(9, 1, "Disk"), at(4, 1, "Disk"), at(7, 1, "Disk")}),
              (std::vector<std::uint64_t>{4, 7, 9}));
    // Ordinal, case-sensitive: "Zebra" (Z = U+005A) before "apple" (a = U+0061).
    EXPECT_EQ(sortedIDs({at(1, 3, "apple"), at(2, 3, "Zebra")}), (std::vector<std::uint64_t>{2, 1}));
    // Code points, not bytes of a locale: "é" (U+00E9) sorts after "z", in both spellings.
    EXPECT_EQ(sortedIDs({at(1, std::nullopt, "Cafe\xCC\x81"), at(2, std::nullopt, "Cafz")}),
              (std::vector<std::uint64_t>{2, 1}));
}

TEST(USBResetTarget, CanonicallyEqualNamesFallThroughToRegistryID) {
    EXPECT_EQ(sortedIDs({at(8, 1, "Caf\xC3\xA9"), at(5, 1, "Cafe\xCC\x81")}), (std::vector<std::uint64_t>{5, 8}));
    EXPECT_FALSE(comesBefore(at(5, 1, "Caf\xC3\xA9"), at(5, 1, "Cafe\xCC\x81")));
}

TEST(USBResetTarget, AnAbsentPortSortsAfterEvenTheLargestKnownPort) {
    constexpr auto kLargest = std::numeric_limits<std::int64_t>::max();
    const auto known = at(2, kLargest, "B");
    const auto unknown = at(1, std::nullopt, "A");
    EXPECT_TRUE(comesBefore(known, unknown));
    EXPECT_FALSE(comesBefore(unknown, known));
}

}  // namespace
}  // namespace ampwell
