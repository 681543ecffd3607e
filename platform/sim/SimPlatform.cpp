#include "platform/sim/SimPlatform.hpp"

#include "platform/sim/SimTimeline.hpp"
#include "platform/sim/SimulationLoader.hpp"
#include "platform/sim/SimPropertyJSON.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ampwell::platform::sim {
namespace {

SimClock makeClock(const SimulationModel& model) {
    if (!model.clock) return SimClock::real(model.bootTime);
    const Date start = model.clock->start ? dateFromSecondsSince1970(*model.clock->start) : SystemClock().now();
    return SimClock(start, model.clock->speed, model.bootTime);
}

// The largest entry ID the file names, so that devices re-enumerated by a reset never take an ID
// a later timeline event adds.
EntryID highestFileEntryID(const SimulationModel& model) {
    EntryID highest = 0;
    for (const auto& entry : model.registry) highest = std::max(highest, entry.id);
    for (const auto& event : model.timeline)
        if (const auto* add = std::get_if<SimAddEvent>(&event.action))
            for (const auto& entry : add->entries) highest = std::max(highest, entry.id);
    return highest;
}

}  // namespace

SimPlatform::SimPlatform(SimulationModel model, SimPlatformEnvironment environment)
    : model_(std::move(model)),
      clock_(makeClock(model_)),
      queue_(clock_),
      registry_(&queue_),
      usbHost_(registry_, highestFileEntryID(model_)),
      mobileDevices_(model_.mobileDevices),
      mobileDeviceService_(mobileDevices_, clock_, model_.mobileDeviceServiceAvailable),
      defaults_(model_.defaults),
      lock_(model_.lockDirectory.value_or(
                SimInstanceLock::defaultDirectory(environment.runtimeDirectory, environment.temporaryDirectory)),
            !model_.lockDirectory, log_),
      refreshService_(model_.refreshService, model_.file, queue_, clock_, registry_, mobileDevices_, log_),
      userScript_(model_.ui),
      mainThread_(std::this_thread::get_id()) {
    registry_.addEntries(model_.registry);
    for (const auto& [id, script] : model_.usbHost) usbHost_.setScript(id, script);
    scheduleTimeline();
}

void SimPlatform::scheduleTimeline() {
    for (const auto& event : model_.timeline) {
        if (const auto* ui = std::get_if<SimUiEvent>(&event.action)) {
            queue_.postAt(event.at, [this, ui] {
                if (userScript_.perform) userScript_.perform(ui->action);
            });
            continue;
        }
        queue_.postAt(event.at, [this, &event] {
            // The file was checked against the registry when it was read; only changes made from
            // C++ since then can make an event fail, and the simulation then goes on without it.
            try {
                applyTimelineEvent(event, registry_, mobileDevices_);
            } catch (const std::invalid_argument& error) {
                log_.write("simulation: " + model_.file + ": " + event.path + ": " + error.what());
            }
        });
    }
    // Scheduled after the timeline, so that events at the same moment still happen before it.
    if (model_.clock && model_.clock->until) {
        queue_.postAt(*model_.clock->until, [this] {
            UserAction quit;
            quit.kind = UserAction::Kind::quit;
            quit.origin = model_.file + ": $.clock.until";
            if (userScript_.perform) userScript_.perform(quit);
        });
    }
}

void SimPlatform::setEventStream(EventStream* stream) {
    stream_.store(stream);
    refreshService_.setEventStream(stream);
    if (!stream) {
        usbHost_.setResetObserver({});
        defaults_.setWriteObserver({});
        log_.setObserver({});
        return;
    }
    usbHost_.setResetObserver([this](EntryID id, const std::optional<UsbHostError>& error) {
        nlohmann::json fields{{"entryID", id}, {"result", error ? error->description : "ok"}};
        if (error) fields["code"] = fmt::format("0x{:08X}", static_cast<std::uint32_t>(error->code));
        tell("usb-reset", std::move(fields));
    });
    defaults_.setWriteObserver([this](const std::string& key, const PropertyValue& value) {
        tell("defaults-write", {{"key", key}, {"value", propertyJSON(value)}});
    });
    log_.setObserver([this](const std::string& line) { tell("log", {{"text", line}}); });
}

void SimPlatform::tell(const std::string& event, nlohmann::json fields) {
    if (std::this_thread::get_id() == mainThread_) {
        if (EventStream* stream = stream_.load()) stream->emit(event, fields);
        return;
    }
    queue_.post([this, event, fields = std::move(fields)] {
        if (EventStream* stream = stream_.load()) stream->emit(event, fields);
    });
}

std::optional<std::int64_t> SimPlatform::bootTimeSeconds() {
    // The loader keeps the boot time within the dates; a value beyond them has no whole seconds.
    if (!model_.bootTime || !(*model_.bootTime >= 0 && *model_.bootTime <= kLatestSecondsSince1970))
        return std::nullopt;
    return static_cast<std::int64_t>(std::floor(*model_.bootTime));
}

std::optional<Seconds> SimPlatform::playedHistorySpan() {
    if (!model_.clock || model_.clock->speed != 0) return std::nullopt;
    double span = 86400.0;
    if (!model_.timeline.empty()) span = std::max(span, model_.timeline.back().at);
    if (model_.clock->until) span = std::max(span, *model_.clock->until);
    return Seconds(span);
}

std::unique_ptr<Platform> makeSimulatedPlatform(const std::string& path) {
    return std::make_unique<SimPlatform>(loadSimulationFile(path),
                                         SimPlatformEnvironment{std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR")});
}

}  // namespace ampwell::platform::sim
