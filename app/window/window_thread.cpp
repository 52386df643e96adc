#include "app/window/window_thread.h"

#include <wx/app.h>
#include <wx/thread.h>

namespace ruzd::app::window {

namespace {

// Held while work is handed to the loop: the shell clears the flag before the toolkit goes, so
// that nothing is handed to a toolkit that is being taken down.
std::mutex loop_lock;
bool taking_calls = false;

}  // namespace

void SetWindowTakesCalls(bool takes) {
    std::lock_guard lock(loop_lock);
    taking_calls = takes;
}

bool WindowTakesCalls() {
    std::lock_guard lock(loop_lock);
    return taking_calls;
}

bool OnWindowThread() {
    return wxThread::IsMain();
}

bool PostToWindowLoop(std::function<void()> work) {
    std::lock_guard lock(loop_lock);
    if (!taking_calls || wxTheApp == nullptr) {
        return false;
    }
    wxTheApp->CallAfter(std::move(work));
    return true;
}

}  // namespace ruzd::app::window
