#pragma once

// The watchdog's message loops. Its thread serves the node's heartbeat, its own tick and every
// socket of the peer port, and a stranger can keep that port's notices coming as fast as the
// thread takes them. So each pass takes the heartbeat first, then the tick when it is due, and
// only then the next other message, one a pass: however much the port receives, the heartbeat
// waits behind one notice at most and the countdown keeps its pace. Each socket notice reads or
// accepts once (watchdog/async_socket.h), so a pass stays short.

#include "platform/message_queue.h"
#include "platform/waitable.h"

namespace ruzd::watchdog {

// Hands every message to `dispatch` until the quit message; returns its exit code.
int RunFrameLoop(const platform::MessageDispatch& dispatch);

// Waits for `object` while handing the messages to `dispatch` in the same order. A quit message
// is posted again and ends the wait (false); true once the object is signalled.
bool WaitServingMessages(platform::Waitable& object, const platform::MessageDispatch& dispatch);

}  // namespace ruzd::watchdog
