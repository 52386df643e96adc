#include "foundation/process_windows.h"

#include <memory>

#include "platform/message_queue.h"
#include "platform/process_handle.h"
#include "platform/window_message.h"

namespace ruzd::foundation {

bool CloseProcessWindows(uint32_t process_id, bool force, uint32_t limit_ms) {
    // Opened first, so that the process asked and the process waited for are the same one.
    const std::unique_ptr<platform::ProcessHandle> process =
        platform::ProcessHandle::Open(process_id);
    if (!process) {
        return false;
    }
    bool asked = false;
    for (const platform::WindowHandle& window : platform::EnumWindows()) {
        if (platform::GetWindowProcessId(window) == process_id &&
            platform::PostMessage(window, platform::kWmClose)) {
            asked = true;
        }
    }
    if (!asked) {
        process->AskToEnd();
    }
    if (!force || process->WaitForEnd(limit_ms)) {
        return true;
    }
    return process->Terminate();
}

}  // namespace ruzd::foundation
