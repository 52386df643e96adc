#pragma once

// Per-thread message queues, the way Windows threads talk to each other: a message (id,
// wParam, lParam) is posted to a thread by its id; the thread takes it with GetMessage or
// PeekMessage. A heap object travels as the message's payload and belongs to the receiver
// from then on (a message that cannot be delivered frees it). Thread timers put a timer
// message in the queue each period.
//
// A thread's queue is made the first time the thread uses any of these functions (or calls
// EnsureMessageQueue) and goes with the thread; posting to a thread without a queue fails.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "platform/waitable.h"

namespace ruzd::platform {

constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
// The system's notice that its clock or time zone changed.
constexpr uint32_t kWmTimeChange = 0x001E;
constexpr uint32_t kWmTimer = 0x0113;
constexpr uint32_t kWmUser = 0x0400;
// The highest message id, for a filter that takes every message from some id on.
constexpr uint32_t kAnyMessage = 0xFFFFFFFF;

// The last error of a post to a thread that has no queue.
constexpr uint32_t kErrorInvalidThreadId = 1444;

struct MessagePayload {
    virtual ~MessagePayload() = default;
};

template <typename T>
struct PayloadOf : MessagePayload {
    explicit PayloadOf(T v) : value(std::move(v)) {}
    T value;
};

struct Message {
    uint32_t id = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
    std::unique_ptr<MessagePayload> payload;

    // The payload as a T, or null when it is something else.
    template <typename T>
    T* PayloadAs() const {
        auto* typed = dynamic_cast<PayloadOf<T>*>(payload.get());
        return typed != nullptr ? &typed->value : nullptr;
    }
};

using MessageDispatch = std::function<void(Message&)>;

// Makes the calling thread's queue, so that posts to it succeed from now on.
void EnsureMessageQueue();

// A loop of another kind (a window toolkit's) that serves the calling thread's messages learns
// through `wake` that a message was posted: it is called on the posting thread after each post
// to the calling thread's queue, and must only wake the loop, which then takes the messages with
// PeekMessage. Timer messages are not posted: the loop looks for them itself, within
// MillisToNextTimer. An empty `wake` removes the hook.
void SetMessageWakeUp(std::function<void()> wake);
// Milliseconds until the calling thread's next timer is due (0 when one is due); none without
// timers.
std::optional<uint32_t> MillisToNextTimer();

// Posts to the thread's queue. False when the thread has no queue (the payload is freed and
// the thread's last error, see LastPostError, is kErrorInvalidThreadId).
bool PostThreadMessage(uint32_t thread_id, uint32_t id, uintptr_t wparam = 0, intptr_t lparam = 0,
                       std::unique_ptr<MessagePayload> payload = nullptr);
// The error of the calling thread's last failed post.
uint32_t LastPostError();

// Posts a quit message, carrying the exit code, to the calling thread.
void PostQuitMessage(int exit_code);

// Waits for the next message of the calling thread; false when it is the quit message.
bool GetMessage(Message& out);
// Takes (remove true) or looks at the next message without waiting; false when there is none.
// A message looked at without removal comes without its payload.
bool PeekMessage(Message& out, bool remove);
// The same for the first message whose id lies in [min_id, max_id] (a due timer when the range
// holds kWmTimer), wherever it waits in the queue: a loop can take the messages that must not
// wait behind the others first. The messages it passes over keep their order.
bool PeekMessage(Message& out, bool remove, uint32_t min_id, uint32_t max_id);

// Starts a timer on the calling thread: a kWmTimer message with the timer's id as wParam each
// `period_ms` (at most one waits in the queue at a time). Returns the id, never 0.
uint32_t SetThreadTimer(uint32_t period_ms);
bool KillThreadTimer(uint32_t timer_id);

// Takes messages and hands each to `dispatch` until the quit message; returns its exit code.
int RunMessageLoop(const MessageDispatch& dispatch);

// Waits for one of the objects or for a message of the calling thread. The object's index,
// objects.size() when a message waits, or kWaitTimeout.
uint32_t MsgWaitForMultiple(std::span<Waitable* const> objects, uint32_t timeout_ms);

enum class PumpedWait { kSignaled, kTimeout, kQuit };

// Waits for the object while handing the calling thread's messages to `dispatch`. A quit
// message is never swallowed: it is posted again and the wait returns kQuit.
PumpedWait WaitPumping(Waitable& object, uint32_t timeout_ms, const MessageDispatch& dispatch);

}  // namespace ruzd::platform
