#include "tests/unit/support/ResetTestRegistry.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace ampwell::testing {
namespace {

using Kind = ResetError::Kind;
using platform::UsbHostError;

class Resets : public ResetTestRegistry {
protected:
    static constexpr EntryID kIPad = 500;

    void plugIPad(EntryID id = kIPad, const std::string& serial = "00008103-001A", std::int64_t session = 1234567,
                  std::optional<EntryID> portParent = kPort1, const std::string& name = "iPad") {
        plug(id, {{"USB Product Name", text(name)}, {"USB Serial Number", text(serial)},
                  {"sessionID", whole(session)}, {"idVendor", whole(1452)}},
             portParent);
    }

    USBResetTarget listedIPad() {
        auto target = listed(kIPad);
        EXPECT_TRUE(target.has_value());
        return target.value_or(USBResetTarget{});
    }

    void expectNoReset() { EXPECT_TRUE(host.resetCalls().empty()) << "a reset was issued"; }
};

TEST_F(Resets, AnUnchangedDeviceIsResetAndComesBackUnderANewIdentity) {
    plugIPad();
    const auto before = listedIPad();
    const auto result = reset(before);
    ASSERT_TRUE(result.succeeded()) << result.error()->errorDescription();
    EXPECT_EQ(host.resetCalls(), (std::vector<EntryID>{kIPad}));

    EXPECT_FALSE(registry.contains(kIPad));
    const auto after = list();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after[0].registryID, before.registryID);
    EXPECT_NE(after[0].sessionID, before.sessionID);
    EXPECT_EQ(after[0].productName, "iPad");
    EXPECT_EQ(after[0].serial, before.serial);
    EXPECT_EQ(after[0].port, before.port);
    // The old target is now stale.
    EXPECT_EQ(failure(reset(before)), Kind::deviceNotFound);
}

TEST_F(Resets, AnIncompleteTargetIsRefusedBeforeTheRegistryIsAsked) {
    plugIPad();
    auto target = listedIPad();
    for (auto damage : std::vector<std::function<void(USBResetTarget&)>>{
             [](USBResetTarget& t) { t.registryID = 0; }, [](USBResetTarget& t) { t.sessionID.clear(); },
             [](USBResetTarget& t) { t.productName.clear(); }}) {
        auto broken = target;
        damage(broken);
        EXPECT_EQ(failure(reset(broken)), Kind::identityUnavailable);
    }
    auto gone = target;
    gone.registryID = 999;
    EXPECT_EQ(failure(reset(gone)), Kind::deviceNotFound);
    expectNoReset();
}

TEST_F(Resets, AnyChangedIdentifyingFieldRefusesTheReset) {
    plugIPad();
    const auto target = listedIPad();
    const std::vector<std::pair<const char*, std::function<void(USBResetTarget&)>>> changes{
        {"session", [](USBResetTarget& t) { t.sessionID = "1234568"; }},
        {"name", [](USBResetTarget& t) { t.productName = "iPad Air"; }},
        {"vendor value", [](USBResetTarget& t) { t.vendorID = 1453; }},
        {"vendor presence", [](USBResetTarget& t) { t.vendorID.reset(); }},
        {"hub", [](USBResetTarget& t) { t.isHub = true; }},
        {"serial", [](USBResetTarget& t) { t.serial = "00008103-001B"; }},
        {"port", [](USBResetTarget& t) { t.port = 2; }},
    };
    for (const auto& [what, change] : changes) {
        auto stale = target;
        change(stale);
        EXPECT_EQ(failure(reset(stale)), Kind::changedConnection) << what;
    }
    expectNoReset();
}

TEST_F(Resets, SerialIsComparedNormalisedAndOnlyWhenOneWasListed) {
    plugIPad();
    auto target = listedIPad();
    target.serial = " 0000-8103-001a\n";
    EXPECT_TRUE(reset(target).succeeded());

    plugNamed(600, "Mouse", 9);
    auto mouse = listed(600).value();
    EXPECT_EQ(mouse.serial, "");
    registry.setProperties(600, {{"USB Serial Number", text("LATE-SERIAL")}});
    EXPECT_TRUE(reset(mouse).succeeded());
    EXPECT_EQ(host.resetCalls().size(), 2u);
}

TEST_F(Resets, APortLearntLaterIsAcceptedButALostPortIsNot) {
    plugIPad(kIPad, "SERIAL-1", 11, std::nullopt);
    auto unknownPort = listedIPad();
    EXPECT_EQ(unknownPort.port, std::nullopt);
    auto knownPort = unknownPort;
    knownPort.port = 1;
    EXPECT_EQ(failure(reset(knownPort)), Kind::changedConnection);
    expectNoReset();

    // The device now shows up below port 1; the target listed without a port still resets it.
    registry.removeEntry(kIPad);
    plugIPad(kIPad, "SERIAL-1", 11, kPort1);
    EXPECT_TRUE(reset(unknownPort).succeeded());
}

TEST_F(Resets, ADeviceThatBecameBuiltInOrUnreadableIsRefused) {
    plugIPad();
    const auto target = listedIPad();
    registry.setProperties(kIPad, {{"built-in", bytes({0, 1})}});
    EXPECT_EQ(failure(reset(target)), Kind::unexpectedDevice);
    registry.setProperties(kIPad, {}, {"built-in", "sessionID"});
    EXPECT_EQ(failure(reset(target)), Kind::identityUnavailable);
    expectNoReset();
}

TEST_F(Resets, AClientTheHostRefusesGivesCannotOpenWithTheHostsError) {
    plugIPad();
    const UsbHostError busy{"IOKit", platform::kResultExclusiveAccess, "Exclusive access."};
    host.setScript(kIPad, {busy, std::nullopt});
    const auto result = reset(listedIPad());
    ASSERT_EQ(failure(result), Kind::cannotOpen);
    EXPECT_EQ(*result.error()->underlyingError(), busy);
    EXPECT_EQ(result.error()->errorDescription(),
              "USB 设备正被系统或其他应用占用，无法重置。（IOKit，-536870203：Exclusive access.）");
    expectNoReset();
    EXPECT_TRUE(registry.contains(kIPad));
}

TEST_F(Resets, AFailedResetGivesResetFailedAndLeavesTheDeviceWhereItWas) {
    plugIPad();
    const UsbHostError refused{"IOKit", -536870212, "General error."};
    host.setScript(kIPad, {std::nullopt, refused});
    const auto result = reset(listedIPad());
    ASSERT_EQ(failure(result), Kind::resetFailed);
    EXPECT_EQ(*result.error()->underlyingError(), refused);
    EXPECT_EQ(host.resetCalls(), (std::vector<EntryID>{kIPad}));
    EXPECT_TRUE(registry.contains(kIPad));
}

// Runs `duringOpen` once the client is open but before the call returns: the window in which a
// device can be swapped between the two identity checks.
class SwappingHost final : public platform::UsbHost {
public:
    SwappingHost(platform::UsbHost& inner, std::function<void()> duringOpen)
        : inner_(inner), duringOpen_(std::move(duringOpen)) {}
    platform::UsbHostOpenResult open(const platform::RegistryEntry& device) override {
        auto opened = inner_.open(device);
        duringOpen_();
        return opened;
    }

private:
    platform::UsbHost& inner_;
    std::function<void()> duringOpen_;
};

TEST_F(Resets, ADeviceSwappedWhileTheClientOpensIsNeverReset) {
    const std::vector<std::pair<const char*, std::function<void(platform::sim::SimRegistry&)>>> swaps{
        {"re-plugged with a new session",
         [](auto& r) { r.setProperties(kIPad, {{"sessionID", whole(7654321)}}); }},
        {"another device answers", [](auto& r) {
             r.setProperties(kIPad, {{"USB Serial Number", text("FFFF-0000")}, {"USB Product Name", text("iPad")}});
         }},
        {"unplugged", [](auto& r) { r.removeEntry(kIPad); }},
    };
    for (const auto& swap : swaps) {
        const std::string what = swap.first;
        if (registry.contains(kIPad)) registry.removeEntry(kIPad);
        plugIPad();
        const auto target = listedIPad();
        SwappingHost swapping(host, [&] { swap.second(registry); });
        const USBDeviceResetter racing(registry, swapping);
        const auto result = racing.reset(target);
        expectNothingHeld();
        EXPECT_FALSE(result.succeeded()) << what;
        // A gone entry is no longer in the service plane, so it no longer counts as a USB device.
        const Kind expected = what == "unplugged" ? Kind::unexpectedDevice : Kind::changedConnection;
        EXPECT_EQ(failure(result), expected) << what;
        expectNoReset();
    }
}

TEST_F(Resets, IPadIsFoundByItsNormalisedSerialAndSession) {
    plugIPad(kIPad, "00008103-001A", 4242);
    plugNamed(502, "Keyboard", 5);
    EXPECT_EQ(failure(resetIPad("00008103001a", std::string("4241"))), Kind::changedConnection);
    expectNoReset();
    EXPECT_TRUE(resetIPad(" 0000-8103-001A\n", std::string("4242")).succeeded());
    EXPECT_EQ(host.resetCalls(), (std::vector<EntryID>{kIPad}));
    // Without a connection identifier the session is not checked.
    EXPECT_TRUE(resetIPad("00008103-001a", std::nullopt).succeeded());
    EXPECT_EQ(host.resetCalls().size(), 2u);
}

TEST_F(Resets, IPadRequestsAreCheckedBeforeTheRegistryIsEnumerated) {
    plugIPad();
    registry.setMatchingResult("IOUSBHostDevice", platform::kResultNoResources);
    EXPECT_EQ(failure(resetIPad(" - -\n", std::nullopt)), Kind::invalidSerial);
    EXPECT_EQ(failure(resetIPad("", std::string("1234567"))), Kind::invalidSerial);
    EXPECT_EQ(failure(resetIPad("00008103-001A", std::string())), Kind::identityUnavailable);
    const auto result = resetIPad("00008103-001A", std::nullopt);
    ASSERT_EQ(failure(result), Kind::enumerationFailed);
    EXPECT_EQ(*result.error(), ResetError::enumerationFailed(platform::kResultNoResources));
    expectNoReset();
}

TEST_F(Resets, IPadMustBeTheOnlyExternalAppleIPadWithTheSerial) {
    EXPECT_EQ(failure(resetIPad("ABC", std::nullopt)), Kind::deviceNotFound);

    plug(510, {{"USB Product Name", text("iPad")}, {"USB Serial Number", text("builtin-1")}, {"sessionID", whole(1)},
               {"idVendor", whole(1452)}, {"built-in", flag(true)}});
    EXPECT_EQ(failure(resetIPad("BUILTIN1", std::nullopt)), Kind::deviceNotFound);

    plugIPad(511, "AB-12", 2);
    plugIPad(512, "ab12", 3);
    EXPECT_EQ(failure(resetIPad("AB12", std::nullopt)), Kind::ambiguousDevice);

    plugIPad(513, "pro-1", 4, kPort2, "iPad Pro");
    EXPECT_EQ(failure(resetIPad("pro1", std::nullopt)), Kind::unexpectedDevice);
    plug(514, {{"USB Product Name", text("iPad")}, {"USB Serial Number", text("novendor")}, {"sessionID", whole(5)}});
    EXPECT_EQ(failure(resetIPad("novendor", std::nullopt)), Kind::unexpectedDevice);
    plug(515, {{"USB Product Name", text("iPad")}, {"USB Serial Number", text("other")}, {"sessionID", whole(6)},
               {"idVendor", whole(1453)}});
    EXPECT_EQ(failure(resetIPad("other", std::nullopt)), Kind::unexpectedDevice);
    expectNoReset();

    plugIPad(516, "caps", 7, kPort3, "IPAD");
    EXPECT_TRUE(resetIPad("CAPS", std::string("7")).succeeded());
    EXPECT_EQ(host.resetCalls(), (std::vector<EntryID>{516}));
}

}  // namespace
}  // namespace ampwell::testing
