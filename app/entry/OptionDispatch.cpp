#include "app/entry/OptionDispatch.hpp"

#include <algorithm>
#include <array>

namespace ampwell {
namespace {

struct OptionRule {
    Mode mode;
    const char* option;
    bool takesValue;
};

// The order in which the options are tested; the first match wins. The help and the version come
// after every diagnostic mode, so a script's mode option is never shadowed by them; the metrics
// server comes last, so that asking a served program's command line for its help still works.
constexpr std::array<OptionRule, 13> kRules{{
    {Mode::checkIndicator, "--check-indicator", false},
    {Mode::previewMenu, "--preview-menu", true},
    {Mode::watchConnections, "--watch-connections", false},
    {Mode::previewIcons, "--preview-icons", true},
    {Mode::requestSystemPower, "--request-system-power", false},
    {Mode::snapshot, "--snapshot", false},
    {Mode::listResetTargets, "--list-reset-targets", false},
    {Mode::notificationStatus, "--notification-status", false},
    {Mode::history, "--history", false},
    {Mode::previewHistory, "--preview-history", true},
    {Mode::help, "--help", false},
    {Mode::version, "--version", false},
    {Mode::serveMetrics, "--serve-metrics", true},
}};

}  // namespace

Dispatch dispatchOptions(const std::vector<std::string>& arguments) {
    for (const auto& rule : kRules) {
        auto found = std::find(arguments.begin(), arguments.end(), rule.option);
        if (found == arguments.end()) continue;
        if (!rule.takesValue) return Dispatch{rule.mode, std::nullopt};
        auto value = std::next(found);
        if (value != arguments.end()) return Dispatch{rule.mode, *value};
    }
    return Dispatch{Mode::launchApplication, std::nullopt};
}

const char* optionName(Mode mode) {
    for (const auto& rule : kRules)
        if (rule.mode == mode) return rule.option;
    return "";
}

}  // namespace ampwell
