#pragma once

#include "app/model/DeviceBattery.hpp"
#include "platform/registry/Registry.hpp"

#include <map>
#include <string>
#include <vector>

namespace ampwell {

// Ties battery readings to the USB session they were read through: a picture of every attached
// device's session before and after a read, and only batteries whose device kept one unambiguous
// session across the read survive.
class USBBatterySessions {
public:
    // Normalised serial → session identifier (decimal text).
    using SessionMap = std::map<std::string, std::string>;

    explicit USBBatterySessions(platform::Registry& registry);

    // The session of every USB device with a serial; a serial seen twice, or without a valid
    // session, is left out; any registry failure, or a change during the walk, gives an empty map.
    SessionMap current() const;

    // The batteries whose session is the same, and known, before and after the read, each
    // stamped with that session.
    static std::vector<DeviceBattery> stamp(const std::vector<DeviceBattery>& batteries, const SessionMap& before,
                                            const SessionMap& after);

private:
    platform::Registry& registry_;
};

}  // namespace ampwell
