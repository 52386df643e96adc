#pragma once

// The process-wide debug log: started by the application from its debug settings,
// reconfigured when they change and stopped last on exit. Every writer takes a copy of the
// shared pointer for the duration of its call, so that a concurrent stop cannot free the log
// under it.

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/debug_channel.h"
#include "foundation/debug_file.h"

namespace ruzd::foundation {

// No log yet: creates it (opening its first file when enabled) and starts the writer thread.
// A log exists: sets its interval, its maxima and then its folder (which reopens the file);
// the enabled state is left as it is, for the caller to set next with SetEnabled. The files
// together hold at most `max_folder_bytes` (0: no bound).
void StartDebugLog(const std::string& folder_prefix, uint32_t interval, bool enabled,
                   uint32_t max_files, uint64_t max_folder_bytes = 0);
// Stops the writer thread (its queued lines are written first), then releases the log, which
// closes its file when the last copy goes.
void StopDebugLog();

// A copy of the log's shared pointer; empty while logging is not started.
std::shared_ptr<CDebugFile> GetDebugFile();

// The log for the duration of one call on the calling thread, for the lines written most often:
// unlike a copy of the shared pointer it changes no counter that other threads change too.
// StopDebugLog waits for the pins of the log it releases to go.
class PinnedDebugFile {
public:
    PinnedDebugFile();
    ~PinnedDebugFile();
    PinnedDebugFile(const PinnedDebugFile&) = delete;
    PinnedDebugFile& operator=(const PinnedDebugFile&) = delete;

    // Null while logging is not started.
    CDebugFile* get() const { return log_; }
    CDebugFile* operator->() const { return log_; }

private:
    CDebugFile* log_;
    CDebugFile* previous_;  // pinned by an enclosing call on this thread
};

void StartDebugMessageThread();
// Lines ended from now on are written by their threads; the writer ends after writing what
// was queued.
void StopDebugMessageThread();

// The call id last seen for a line of a channel, for the lines that name only the line.
void SetLineCallId(EDebugChannelType channel, int32_t line, int32_t call_id);
// kDebugNone when none was remembered.
int32_t GetLineCallId(EDebugChannelType channel, int32_t line);

}  // namespace ruzd::foundation
