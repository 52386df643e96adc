#pragma once

// A wait that keeps the application thread responsive: on that thread the thread's messages
// are dispatched while it waits; on any other thread it is a plain wait.

#include <cstdint>

#include "platform/message_queue.h"
#include "platform/waitable.h"

namespace ruzd::foundation {

constexpr uint32_t kWaitNoLimitSeconds = 0xFFFFFFFF;

// Waits up to `seconds` (kWaitNoLimitSeconds: without limit) for `object`; true only when it
// was signalled. On the application thread the application dispatches the messages that arrive
// meanwhile; a quit message ends the wait at once (false) and stays in the queue for the
// thread's message loop.
bool WaitForSingleObjectPumping(platform::Waitable& object, uint32_t seconds);
// The same, telling the three ends apart: kQuit when the quit message ended the wait.
platform::PumpedWait WaitPumpingForSeconds(platform::Waitable& object, uint32_t seconds);

}  // namespace ruzd::foundation
