#pragma once

// The debug log's writer thread: while it runs, the threads that log queue their ended lines
// and this thread writes them to the file in batches, so that callers pay only for composing
// their lines. Stopping it writes whatever was queued first.

#include <cstdint>
#include <memory>

#include "platform/thread.h"

namespace ruzd::foundation {

class CDebugFile;

class CDebugMessageThread {
public:
    explicit CDebugMessageThread(std::shared_ptr<CDebugFile> log);
    CDebugMessageThread(const CDebugMessageThread&) = delete;
    CDebugMessageThread& operator=(const CDebugMessageThread&) = delete;

    // Switches the log to queued writing and starts the thread.
    bool Start();
    // Switches the log back to writing on the calling threads (the queued lines written first)
    // and waits for the thread to end, unless called on it.
    void Stop();
    uint32_t id() const { return thread_.id(); }

private:
    void Run();

    const std::shared_ptr<CDebugFile> log_;
    platform::Thread thread_;
};

}  // namespace ruzd::foundation
