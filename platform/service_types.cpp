#include "platform/service_types.h"

namespace ruzd::platform {

bool IsPendingServiceState(uint32_t state) {
    return state == kServiceStartPending || state == kServiceStopPending ||
           state == kServiceContinuePending || state == kServicePausePending;
}

std::optional<uint32_t> AcceptBitForControl(uint32_t control) {
    switch (control) {
        case kServiceControlStop:
            return kServiceAcceptStop;
        case kServiceControlPause:
        case kServiceControlContinue:
            return kServiceAcceptPauseContinue;
        case kServiceControlInterrogate:
            return 0u;
        case kServiceControlShutdown:
            return kServiceAcceptShutdown;
        case kServiceControlParamChange:
            return kServiceAcceptParamChange;
        case kServiceControlNetBindAdd:
        case kServiceControlNetBindRemove:
        case kServiceControlNetBindEnable:
        case kServiceControlNetBindDisable:
            return kServiceAcceptNetBindChange;
        case kServiceControlHardwareProfileChange:
            return kServiceAcceptHardwareProfileChange;
        case kServiceControlPowerEvent:
            return kServiceAcceptPowerEvent;
        case kServiceControlSessionChange:
            return kServiceAcceptSessionChange;
        case kServiceControlPreshutdown:
            return kServiceAcceptPreshutdown;
        case kServiceControlTimeChange:
            return kServiceAcceptTimeChange;
        default:
            break;
    }
    if (control >= kServiceControlFirstUserDefined && control <= kServiceControlLastUserDefined) {
        return 0u;
    }
    return std::nullopt;
}

}  // namespace ruzd::platform
