#include "platform/desktop/headless/HeadlessDesktop.hpp"

namespace ampwell::platform::headless {
namespace {

UserScript scriptOf(Platform& platform) {
    const UserScript* script = platform.userScript();
    return script ? *script : UserScript{};
}

AuthorizationStatus statusNamed(const std::string& name) {
    for (auto status : {AuthorizationStatus::notDetermined, AuthorizationStatus::denied, AuthorizationStatus::authorized,
                        AuthorizationStatus::provisional, AuthorizationStatus::ephemeral})
        if (name == authorizationStatusName(status)) return status;
    return AuthorizationStatus::notDetermined;
}

}  // namespace

HeadlessDesktop::HeadlessDesktop(Platform& platform, std::ostream& out, std::optional<std::string> logPath)
    : platform_(platform),
      script_(scriptOf(platform)),
      events_(platform.clock(), out, std::move(logPath), platform.shortcutStyle()),
      application_(platform.mainQueue(), platform.clock(), events_),
      statusBar_(events_),
      alerts_(events_, script_.alertAnswers),
      notifications_(events_, platform.mainQueue(), platform.clock(), statusNamed(script_.notifications),
                     script_.onRequest != "denied"),
      user_(events_, statusBar_, notifications_, application_) {
    platform_.setEventStream(&events_);
    if (UserScript* script = platform_.userScript()) script->perform = [this](const UserAction& action) { user_.perform(action); };
}

HeadlessDesktop::~HeadlessDesktop() {
    if (UserScript* script = platform_.userScript()) script->perform = nullptr;
    platform_.setEventStream(nullptr);
}

}  // namespace ampwell::platform::headless
