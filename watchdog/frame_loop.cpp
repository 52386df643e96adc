#include "watchdog/frame_loop.h"

#include "watchdog/main_frame.h"

namespace ruzd::watchdog {
namespace {

bool TakeOnly(platform::Message& message, uint32_t id) {
    return platform::PeekMessage(message, true, id, id);
}

void WaitForMessage() {
    platform::MsgWaitForMultiple({}, platform::kInfinite);
}

// Blocks until `object` is signalled (true) or a message waits (false).
bool WaitForObjectOrMessage(platform::Waitable& object) {
    platform::Waitable* objects[] = {&object};
    return platform::MsgWaitForMultiple(objects, platform::kInfinite) == platform::kWaitObject0;
}

// The calling thread's next message in the loop's order, without waiting; false when none waits.
bool TakeNextMessage(platform::Message& message) {
    return TakeOnly(message, WM_TORMBEL_HEARTBEAT) || TakeOnly(message, platform::kWmTimer) ||
           platform::PeekMessage(message, true);
}

}  // namespace

int RunFrameLoop(const platform::MessageDispatch& dispatch) {
    for (;;) {
        platform::Message message;
        if (!TakeNextMessage(message)) {
            WaitForMessage();
            continue;
        }
        if (message.id == platform::kWmQuit) {
            return static_cast<int>(message.wparam);
        }
        dispatch(message);
    }
}

bool WaitServingMessages(platform::Waitable& object, const platform::MessageDispatch& dispatch) {
    // One message between two looks at the object, so that a flood of messages cannot hold the
    // wait open once the object is signalled.
    while (!WaitForObjectOrMessage(object)) {
        platform::Message message;
        if (!TakeNextMessage(message)) {
            continue;
        }
        if (message.id == platform::kWmQuit) {
            platform::PostQuitMessage(static_cast<int>(message.wparam));
            return false;
        }
        dispatch(message);
    }
    return true;
}

}  // namespace ruzd::watchdog
