#include "node/tormbel_status.h"

namespace ruzd::node {

const char* GetTormbelStatusText(int32_t status) {
    switch (status) {
        case kTormbelNotCheckedYet:
            return "Tormbel status not checked yet";
        case kTormbelNotifyDisabled:
            return "Notifying Tormbel disabled";
        case kTormbelNotFound:
            return "No Tormbel instance found";
        case kTormbelOld:
            return "Old Tormbel found, which doesn't report status";
        case kTormbelRunning:
            return "Tormbel is running and active";
        case kTormbelPaused:
            return "Tormbel is running but paused";
        default:
            return "?";
    }
}

}  // namespace ruzd::node
