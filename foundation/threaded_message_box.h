#pragma once

// A message box that never blocks its caller: the box is queued, and one worker thread shows
// the queued boxes one after another through the installed presenter (platform/message_box.h),
// with the program's own title. Each box's answer comes back through an optional answer word,
// which first tells where the box stands (queued, shown, dropped). Every step goes to the debug
// log as a "GUI: " line.
//
// Stopping is co-operative: the queued boxes are dropped, nothing is written through any answer
// word after the stop, and a worker inside a box finishes on its own once the box returns.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

namespace ruzd::foundation {

// The word a box's answer is written to; shared with the worker so that it outlives the box.
using MessageBoxAnswer = std::shared_ptr<std::atomic<uint32_t>>;

// What the answer word holds besides the button the user chose.
inline constexpr uint32_t kMessageBoxDropped = 1001;  // the queue's lock was not had in time
inline constexpr uint32_t kMessageBoxShowing = 1002;  // the box is being shown now
inline constexpr uint32_t kMessageBoxWaiting = 1003;  // the box waits behind a shown one
// An answer that a box gives when nobody answered it in time.
inline constexpr uint32_t kMessageBoxTimedOut = 32000;

// How long a caller waits for the queue's lock before its box is dropped.
inline constexpr uint32_t kMessageBoxQueueWaitMs = 2000;

// Queues a box and returns at once. `reserved` is 0 and ignored; the caption is kept with the
// request only (the box shows the program's title); `type` is the message box's style; an
// empty `answer` gets nothing written.
void ThreadedMessageBox(int reserved, std::string_view text, std::string_view caption,
                        uint32_t type, MessageBoxAnswer answer);
// A plain OK box with the application's name as caption.
void ThreadedMessageBox(std::string_view text);

// Drops every queued box and forgets the one being shown; called as the application exits.
// Waits for an idle worker to end, but never for one inside a box (nor on the worker itself).
void StopThreadedMessageBox();

// The names the log gives a box's buttons (from the low four bits of the type) and an answer.
const char* MessageBoxTypeName(uint32_t type);
const char* MessageBoxResultName(uint32_t result);

}  // namespace ruzd::foundation
