#include "platform/desktop/NotificationCenter.hpp"

namespace ampwell::platform {

const char* authorizationStatusName(AuthorizationStatus status) {
    switch (status) {
    case AuthorizationStatus::notDetermined: return "notDetermined";
    case AuthorizationStatus::denied: return "denied";
    case AuthorizationStatus::authorized: return "authorized";
    case AuthorizationStatus::provisional: return "provisional";
    case AuthorizationStatus::ephemeral: return "ephemeral";
    }
    return "notDetermined";
}

}  // namespace ampwell::platform
