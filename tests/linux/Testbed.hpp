#pragma once

#include "tests/linux/FakeSysfs.hpp"

#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace ampwell::platform::linux_ {

// The process-wide umockdev testbed itself.
UMockdevTestbed* testbed();

// The process-wide umockdev testbed, made in main() before any thread starts. Its sys dir is what
// this process sees as /sys.
FakeSysfs& testbedSysfs();
// Sends a uevent ("add", "remove", "change") for the device at `devpath` ("devices/...") to every
// udev monitor of the process, as udev would after processing it.
void sendUevent(const std::string& devpath, const char* action);

}  // namespace ampwell::platform::linux_
