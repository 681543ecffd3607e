// The iPad's own account costs one more question inside the battery read's session. One battery
// read of an iPad on the simulated mobile-device service, without and with that question, side by
// side: the time is this program's own work, and the `deviceCalls` counter is the number of calls
// that would each be a round trip to a real device over USB, which is what a read really costs.
#include "app/batteries/MobileDeviceAPI.hpp"
#include "app/model/SerialNumber.hpp"
#include "platform/sim/SimMobileDeviceService.hpp"
#include "tests/unit/support/FixedClock.hpp"

#include <benchmark/benchmark.h>

namespace ampwell {
namespace {

using platform::PropertyValue;
using platform::sim::SimMobileDevice;

constexpr const char* kSerial = "00008103-001A45C83C08801E";

SimMobileDevice iPad() {
    SimMobileDevice device;
    device.identifier = kSerial;
    device.usbSerial = kSerial;
    device.interfaceType = 1;
    device.values[""] = {{"DeviceClass", PropertyValue::string("iPad")}};
    device.values["com.apple.mobile.battery"] = {{"BatteryCurrentCapacity", PropertyValue::wholeNumber(64)},
                                                 {"BatteryIsCharging", PropertyValue::boolean(true)},
                                                 {"ExternalConnected", PropertyValue::boolean(true)}};
    // Shaped like a real answer: the entry wrapped under "IORegistry", with the keys that are read
    // among some forty that are not.
    platform::PropertyDictionary entry{
        {"AdapterDetails", PropertyValue::dictionary({{"Watts", PropertyValue::wholeNumber(20)},
                                                      {"Voltage", PropertyValue::wholeNumber(9000)},
                                                      {"Current", PropertyValue::wholeNumber(2220)},
                                                      {"Description", PropertyValue::string("pd charger")}})},
        {"PowerTelemetryData", PropertyValue::dictionary({{"SystemPowerIn", PropertyValue::wholeNumber(17620)},
                                                          {"SystemVoltageIn", PropertyValue::wholeNumber(8970)},
                                                          {"SystemCurrentIn", PropertyValue::wholeNumber(1964)}})},
        {"ExternalConnected", PropertyValue::boolean(true)}};
    for (int i = 0; i < 40; ++i) entry.emplace("Key" + std::to_string(i), PropertyValue::wholeNumber(i));
    device.ioregistry = std::map<std::string, platform::PropertyDictionary>{
        {"AppleSmartBattery", {{"IORegistry", PropertyValue::dictionary(entry)}}}};
    return device;
}

// Counts every call that would reach the device.
class CountingService final : public platform::MobileDeviceService {
public:
    explicit CountingService(platform::MobileDeviceService& inner) : inner_(inner) {}
    State state() const override { return inner_.state(); }
    State load() override { return inner_.load(); }
    std::optional<std::vector<std::shared_ptr<platform::MobileDevice>>> createDeviceList() override {
        return inner_.createDeviceList();
    }
    std::int32_t connect(platform::MobileDevice& d) override { return ++calls, inner_.connect(d); }
    void disconnect(platform::MobileDevice& d) override { ++calls, inner_.disconnect(d); }
    std::int32_t isPaired(platform::MobileDevice& d) override { return ++calls, inner_.isPaired(d); }
    std::int32_t validatePairing(platform::MobileDevice& d) override { return ++calls, inner_.validatePairing(d); }
    std::int32_t startSession(platform::MobileDevice& d) override { return ++calls, inner_.startSession(d); }
    void stopSession(platform::MobileDevice& d) override { ++calls, inner_.stopSession(d); }
    std::optional<std::string> copyDeviceIdentifier(platform::MobileDevice& d) override {
        return inner_.copyDeviceIdentifier(d);
    }
    std::optional<std::string> copyDeviceUSBSerialNumber(platform::MobileDevice& d) override {
        return inner_.copyDeviceUSBSerialNumber(d);
    }
    std::optional<PropertyValue> copyValue(platform::MobileDevice& d, const std::optional<std::string>& domain,
                                           const std::optional<std::string>& key) override {
        return ++calls, inner_.copyValue(d, domain, key);
    }
    std::optional<platform::PropertyDictionary> queryRegistryEntry(platform::MobileDevice& d,
                                                                   const std::string& entry) override {
        return ++calls, inner_.queryRegistryEntry(d, entry);
    }
    std::optional<std::int32_t> interfaceType(platform::MobileDevice& d) override { return inner_.interfaceType(d); }

    std::int64_t calls = 0;

private:
    platform::MobileDeviceService& inner_;
};

void batteryRead(benchmark::State& state, bool withAccount) {
    platform::sim::SimMobileDeviceList devices({iPad()});
    testing::FixedClock clock;
    platform::sim::SimMobileDeviceService sim(devices, clock, true);
    CountingService service(sim);
    service.load();
    MobileDeviceAPI api(service, clock);
    const auto list = service.createDeviceList();
    const std::set<std::string> serials =
        withAccount ? std::set<std::string>{normalizedSerial(kSerial)} : std::set<std::string>{};
    for (auto _ : state) {
        auto battery = api.read(*list->front(), serials);
        benchmark::DoNotOptimize(battery);
    }
    state.counters["deviceCalls"] =
        benchmark::Counter(static_cast<double>(service.calls) / static_cast<double>(state.iterations()));
}

void batteryReadAlone(benchmark::State& state) { batteryRead(state, false); }
void batteryReadWithAccount(benchmark::State& state) { batteryRead(state, true); }

BENCHMARK(batteryReadAlone);
BENCHMARK(batteryReadWithAccount);

}  // namespace
}  // namespace ampwell

BENCHMARK_MAIN();
