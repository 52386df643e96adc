#include "foundation/debug_log.h"

#include <mutex>
#include <unordered_map>

#include "foundation/debug_message_thread.h"

namespace ruzd::foundation {
namespace {

std::mutex g_log_mutex;
std::shared_ptr<CDebugFile> g_spDebugFile;

// Start and stop of the writer thread, which must not overlap.
std::mutex g_thread_mutex;
std::unique_ptr<CDebugMessageThread> g_pDebugMessageThread;

std::mutex g_call_id_mutex;
std::unordered_map<int, std::unordered_map<int32_t, int32_t>>& CallIds() {
    static auto* call_ids = new std::unordered_map<int, std::unordered_map<int32_t, int32_t>>();
    return *call_ids;
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
        std::lock_guard lock(g_log_mutex);
        g_spDebugFile = std::move(log);
    }
    StartDebugMessageThread();
}

void StopDebugLog() {
    StopDebugMessageThread();
    std::shared_ptr<CDebugFile> released;
    {
        std::lock_guard lock(g_log_mutex);
        released = std::move(g_spDebugFile);
    }
}

std::shared_ptr<CDebugFile> GetDebugFile() {
    std::lock_guard lock(g_log_mutex);
    return g_spDebugFile;
}

void StartDebugMessageThread() {
    std::lock_guard lock(g_thread_mutex);
    if (g_pDebugMessageThread)
        return;
    auto thread = std::make_unique<CDebugMessageThread>();
    if (thread->Start())
        g_pDebugMessageThread = std::move(thread);
}

void StopDebugMessageThread() {
    std::lock_guard lock(g_thread_mutex);
    if (!g_pDebugMessageThread)
        return;
    // The callers write their own lines before the writer is asked to end, so that no line
    // can be queued for a thread that no longer reads its queue.
    if (std::shared_ptr<CDebugFile> log = GetDebugFile())
        log->DisableAsync();
    g_pDebugMessageThread->Stop();
    g_pDebugMessageThread.reset();
}

void SetLineCallId(EDebugChannelType channel, int32_t line, int32_t call_id) {
    std::lock_guard lock(g_call_id_mutex);
    CallIds()[channel][line] = call_id;
}

int32_t GetLineCallId(EDebugChannelType channel, int32_t line) {
    std::lock_guard lock(g_call_id_mutex);
    const auto& call_ids = CallIds();
    const auto by_channel = call_ids.find(channel);
    if (by_channel == call_ids.end())
        return kDebugNone;
    const auto found = by_channel->second.find(line);
    return found == by_channel->second.end() ? kDebugNone : found->second;
}

}  // namespace ruzd::foundation
