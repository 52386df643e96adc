#include "node/tormbel_notifier.h"

#include <chrono>

#include "foundation/debug_channel.h"
#include "node/manager_log.h"
#include "node/tormbel_status.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/window_message.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;

namespace {

int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               platform::CurrentClock().Now().time_since_epoch())
        .count();
}

}  // namespace

CTormbelNotifier::CTormbelNotifier() : status_(kTormbelNotCheckedYet) {}

void CTormbelNotifier::NotifyTormbel(bool disabled, const std::string& reason) {
    const int64_t now = NowSeconds();
    if (next_contact_ >= now) {
        return;
    }
    next_contact_ = now + kTormbelContactIntervalSeconds;

    int32_t status = kTormbelNotFound;
    if (disabled) {
        status = kTormbelNotifyDisabled;
        if (!reason.empty()) {
            ManagerLog(kDebugChannelGeneral, kDebugNone,
                       "WARNING: Notifying Tormbel disabled: " + reason);
        }
    } else {
        status = SendHeartbeat();
    }

    const int32_t previous = status_.exchange(status);
    if (status != previous) {
        ManagerLog(
            kDebugChannelGeneral, kDebugNone,
            platform::Format("Tormbel: Status changed changed from %d (%s) to %d (%s)", previous,
                             GetTormbelStatusText(previous), status, GetTormbelStatusText(status)));
    } else if (status != kTormbelOld && status != kTormbelRunning) {
        ManagerLog(kDebugChannelGeneral, kDebugNone,
                   platform::Format("WARNING: Current Tormbel status is %d (%s)", status,
                                    GetTormbelStatusText(status)));
    }
}

int32_t CTormbelNotifier::SendHeartbeat() const {
    const platform::WindowHandle window = platform::FindWindow(kTormbelWindowClass);
    if (!window) {
        return kTormbelNotFound;
    }
    intptr_t result = 0;
    // A watchdog that vanished or hangs counts as none: its countdown is no longer ours to feed.
    if (!platform::SendMessageTimeout(window, WM_TORMBEL_HEARTBEAT, 0, 0, reply_timeout_ms_,
                                      &result)) {
        return kTormbelNotFound;
    }
    return static_cast<int32_t>(result);
}

}  // namespace ruzd::node
