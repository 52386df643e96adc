#pragma once

// Socket notices, the way WSAAsyncSelect gives them: a thread registers a socket for some
// events and a message id, and from then on finds one message in its own queue for each
// readiness of that socket - wParam the socket, lParam the event and its error - beside its
// timers and window messages. So sockets work on the thread that owns them, in pumped waits too.
//
// One poll thread watches every registered socket. Once it has posted an event it disarms that
// event of that socket until the owner arms it again (typically after reading, accepting or
// sending), so a socket that stays readable does not flood the queue. A message can still be on
// its way when the socket is removed: lParam carries the registration's serial, which the owner
// compares with the one Register gave, so a notice never reaches a later socket of the same
// number.

#include <cstdint>

#include "platform/message_queue.h"

namespace ruzd::platform {

// Events, as Windows Sockets numbers them.
inline constexpr uint32_t kFdRead = 0x01;
inline constexpr uint32_t kFdWrite = 0x02;
inline constexpr uint32_t kFdAccept = 0x08;
inline constexpr uint32_t kFdConnect = 0x10;
inline constexpr uint32_t kFdClose = 0x20;
inline constexpr uint32_t kFdAllEvents = kFdRead | kFdWrite | kFdAccept | kFdConnect | kFdClose;

// The parts of a notice's lParam.
struct SocketNotice {
    uint32_t event = 0;
    int error = 0;  // a Windows Sockets number, 0 for none
    uint32_t serial = 0;
};
SocketNotice DecodeSocketNotice(intptr_t lparam);
intptr_t EncodeSocketNotice(const SocketNotice& notice);

// Registers `socket` for `events`, posting `message` to the calling thread; a socket that is
// connecting gets its connect notice when it is asked for. Returns the registration's serial
// (never 0), or 0 when the watcher could not be started.
uint32_t RegisterSocketNotices(int socket, uint32_t message, uint32_t events);

// Arms `events` of a registered socket again.
void ArmSocketNotices(int socket, uint32_t events);

// Arms `events` of a registered socket again once `delay_ms` (real time) have passed: for a
// readiness that cannot be served now, as a waiting connection while the process has no
// descriptor left, which would otherwise be told again at once, and again, at full speed.
void ArmSocketNoticesAfter(int socket, uint32_t events, uint32_t delay_ms);

// Stops the notices of the socket; call it before closing the socket.
void RemoveSocketNotices(int socket);

}  // namespace ruzd::platform
