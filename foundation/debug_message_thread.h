#pragma once

// The debug log's writer thread: while it runs, ended lines are queued and this thread writes
// them to the file in batches, so that callers pay only for composing their lines. It ends on
// the quit message; whatever was queued before is written first.

#include <cstdint>

#include "platform/message_queue.h"
#include "platform/thread.h"

namespace ruzd::foundation {

class CDebugMessageThread {
public:
    CDebugMessageThread();
    CDebugMessageThread(const CDebugMessageThread&) = delete;
    CDebugMessageThread& operator=(const CDebugMessageThread&) = delete;

    // Starts the thread; it switches the current log to queued writing before it returns.
    bool Start();
    // Asks the thread to end (the quit message) and waits for it, unless called on it.
    void Stop();
    uint32_t id() const { return thread_.id(); }

private:
    void Run();
    void OnMessage(platform::Message& message);

    platform::Thread thread_;
};

}  // namespace ruzd::foundation
