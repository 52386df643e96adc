#include "foundation/debug_message_thread.h"

#include "foundation/debug_file.h"
#include "foundation/debug_log.h"
#include "platform/event.h"

namespace ruzd::foundation {

CDebugMessageThread::CDebugMessageThread() : thread_("CDebugMessage") {}

bool CDebugMessageThread::Start() {
    platform::Event ready(true);
    const bool started = thread_.Start([this, &ready] {
        if (std::shared_ptr<CDebugFile> log = GetDebugFile())
            log->EnableAsync(platform::CurrentThreadId());
        ready.Set();
        Run();
    });
    if (started)
        ready.Wait(platform::kInfinite);
    return started;
}

void CDebugMessageThread::Stop() {
    if (thread_.id() == 0)
        return;
    platform::PostThreadMessage(thread_.id(), platform::kWmQuit);
    thread_.Join();
}

void CDebugMessageThread::Run() {
    platform::RunMessageLoop([this](platform::Message& message) { OnMessage(message); });
    // Lines queued before the quit message are written before the thread ends.
    if (std::shared_ptr<CDebugFile> log = GetDebugFile())
        log->WriteQueuedLines();
}

void CDebugMessageThread::OnMessage(platform::Message&) {
    if (std::shared_ptr<CDebugFile> log = GetDebugFile())
        log->WriteQueuedLines();
}

}  // namespace ruzd::foundation
