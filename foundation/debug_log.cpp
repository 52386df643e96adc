#include "foundation/debug_log.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "foundation/debug_message_thread.h"
#include "platform/clock.h"

namespace ruzd::foundation {
namespace {

// Never destroyed: static objects that log while the process exits still find them.
struct DebugLogGlobals {
    std::mutex log_mutex;
    std::shared_ptr<CDebugFile> log;

    // Start and stop of the writer thread, which must not overlap.
    std::mutex thread_mutex;
    std::unique_ptr<CDebugMessageThread> writer;

    std::mutex call_id_mutex;
    std::unordered_map<int, std::unordered_map<int32_t, int32_t>> call_ids;
};

DebugLogGlobals& Globals() {
    static auto* globals = new DebugLogGlobals();
    return *globals;
}

}  // namespace

void StartDebugLog(const std::string& folder_prefix, uint32_t interval, bool enabled,
                   uint32_t max_files) {
    if (std::shared_ptr<CDebugFile> log = GetDebugFile()) {
        log->SetInterval(interval);
        log->SetMaxFiles(max_files);
        log->SetFolder(folder_prefix);
        return;
    }
    auto log = std::make_shared<CDebugFile>(folder_prefix, interval, enabled, max_files);
    {
        std::lock_guard lock(Globals().log_mutex);
        Globals().log = std::move(log);
    }
    StartDebugMessageThread();
    // A program that leaves without stopping the log still gets its queued lines written and
    // its file closed, and does not wait at exit for a writer thread that never ends. Registered
    // after the log's first file was opened and the system clock made, so that the
    // function-local statics the stop uses are destroyed only after it has run.
    static std::once_flag stop_at_exit;
    std::call_once(stop_at_exit, [] {
        platform::SystemClock();
        std::atexit(&StopDebugLog);
    });
}

void StopDebugLog() {
    StopDebugMessageThread();
    std::shared_ptr<CDebugFile> released;
    {
        std::lock_guard lock(Globals().log_mutex);
        released = std::move(Globals().log);
    }
}

std::shared_ptr<CDebugFile> GetDebugFile() {
    std::lock_guard lock(Globals().log_mutex);
    return Globals().log;
}

void StartDebugMessageThread() {
    std::lock_guard lock(Globals().thread_mutex);
    if (Globals().writer)
        return;
    auto thread = std::make_unique<CDebugMessageThread>();
    if (thread->Start())
        Globals().writer = std::move(thread);
}

void StopDebugMessageThread() {
    std::lock_guard lock(Globals().thread_mutex);
    if (!Globals().writer)
        return;
    // The callers write their own lines before the writer is asked to end, so that no line
    // can be queued for a thread that no longer reads its queue.
    if (std::shared_ptr<CDebugFile> log = GetDebugFile())
        log->DisableAsync();
    Globals().writer->Stop();
    Globals().writer.reset();
}

void SetLineCallId(EDebugChannelType channel, int32_t line, int32_t call_id) {
    std::lock_guard lock(Globals().call_id_mutex);
    Globals().call_ids[channel][line] = call_id;
}

int32_t GetLineCallId(EDebugChannelType channel, int32_t line) {
    std::lock_guard lock(Globals().call_id_mutex);
    const auto& call_ids = Globals().call_ids;
    const auto by_channel = call_ids.find(channel);
    if (by_channel == call_ids.end())
        return kDebugNone;
    const auto found = by_channel->second.find(line);
    return found == by_channel->second.end() ? kDebugNone : found->second;
}

}  // namespace ruzd::foundation
