#include "app/batteries/USBBatterySessions.hpp"
#include "tests/unit/support/RegistryBuilder.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

using namespace ampwell::testing;

class SessionsTest : public ::testing::Test {
protected:
    platform::sim::SimRegistry registry;
    RegistryBuilder build{registry};
    USBBatterySessions sessions{registry};

    platform::EntryID usb(platform::PropertyDictionary properties) { return build.add("IOUSBHostDevice", std::move(properties)); }
    void TearDown() override { EXPECT_EQ(registry.liveHandleCount(), 0u); }
};

TEST_F(SessionsTest, MapsNormalisedSerialsToWholePositiveSessions) {
    usb({{"USB Serial Number", str(" AB-cd-12\n")}, {"sessionID", whole(77)}});
    usb({{"kUSBSerialNumberString", str("only-second")}, {"sessionID", whole(5)}});
    usb({{"USB Serial Number", str(" -- \n")}, {"kUSBSerialNumberString", str("Fallback")}, {"sessionID", num(9.0)}});
    usb({{"USB Serial Number", whole(3)}, {"kUSBSerialNumberString", str("typed")}, {"sessionID", whole(1)}});
    EXPECT_EQ(sessions.current(), (USBBatterySessions::SessionMap{
                                      {"abcd12", "77"}, {"onlysecond", "5"}, {"fallback", "9"}, {"typed", "1"}}));
}

TEST_F(SessionsTest, InvalidSessionsAndSharedSerialsAreLeftOut) {
    usb({{"USB Serial Number", str("zero")}, {"sessionID", whole(0)}});
    usb({{"USB Serial Number", str("half")}, {"sessionID", num(1.5)}});
    usb({{"USB Serial Number", str("bool")}, {"sessionID", flag(true)}});
    usb({{"USB Serial Number", str("negative")}, {"sessionID", whole(-4)}});
    usb({{"USB Serial Number", str("missing")}});
    usb({{"USB Serial Number", str("TWIN")}, {"sessionID", whole(10)}});
    usb({{"USB Serial Number", str("tw-in")}, {"sessionID", whole(11)}});
    // A twin without a valid session still makes the serial ambiguous.
    usb({{"USB Serial Number", str("pair")}, {"sessionID", whole(12)}});
    usb({{"USB Serial Number", str("PAIR")}});
    usb({{"USB Serial Number", str("kept")}, {"sessionID", PropertyValue::unsignedNumber(18446744073709551615ull)}});
    usb({{"sessionID", whole(13)}});
    EXPECT_EQ(sessions.current(), (USBBatterySessions::SessionMap{{"kept", "18446744073709551615"}}));
}

TEST_F(SessionsTest, AFailedMatchGivesAnEmptyMap) {
    usb({{"USB Serial Number", str("a")}, {"sessionID", whole(1)}});
    registry.setMatchingResult("IOUSBHostDevice", platform::kResultError);
    EXPECT_TRUE(sessions.current().empty());
}

// A registry that changes while the walk is under way: the map would mix two states, so it is
// dropped whole.
class ChangingRegistry final : public platform::Registry {
public:
    explicit ChangingRegistry(platform::sim::SimRegistry& inner) : inner_(inner) {}
    platform::ServiceMatch matchingServices(const std::string& className) override {
        auto match = inner_.matchingServices(className);
        platform::sim::SimEntrySpec entrySpec;
        entrySpec.id = 999;
        entrySpec.className = "IOUSBHostDevice";
        inner_.addEntry(entrySpec);
        return match;
    }
    std::unique_ptr<platform::RegistryEntry> firstMatchingService(const std::string& c) override {
        return inner_.firstMatchingService(c);
    }
    std::unique_ptr<platform::RegistryEntry> entry(platform::EntryID id) override { return inner_.entry(id); }
    std::unique_ptr<platform::NotificationPort> createNotificationPort() override { return nullptr; }

private:
    platform::sim::SimRegistry& inner_;
};

TEST_F(SessionsTest, ARegistryChangedDuringTheWalkGivesAnEmptyMap) {
    usb({{"USB Serial Number", str("a")}, {"sessionID", whole(1)}});
    ChangingRegistry changing(registry);
    EXPECT_TRUE(USBBatterySessions(changing).current().empty());
    EXPECT_EQ(sessions.current().size(), 1u);
}

}  // namespace
}  // namespace ampwell
