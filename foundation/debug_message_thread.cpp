#include "foundation/debug_message_thread.h"

#include "foundation/debug_file.h"

namespace ruzd::foundation {

CDebugMessageThread::CDebugMessageThread(std::shared_ptr<CDebugFile> log)
    : log_(std::move(log)), thread_("CDebugMessage") {}

bool CDebugMessageThread::Start() {
    log_->EnableAsync();
    if (thread_.Start([this] { Run(); }))
        return true;
    log_->DisableAsync();
    return false;
}

void CDebugMessageThread::Stop() {
    if (thread_.id() == 0)
        return;
    log_->DisableAsync();
    thread_.Join();
}

void CDebugMessageThread::Run() {
    bool busy = false;
    while (log_->AwaitQueuedLines(busy))
        busy = log_->WriteQueuedLines();
}

}  // namespace ruzd::foundation
