#include "foundation/notice_listeners.h"

#include <vector>

#include "platform/message_queue.h"
#include "platform/win_error.h"

namespace ruzd::foundation {

void NoticeListeners::Register(const platform::WindowHandle& window, uint32_t thread_id,
                               uint32_t message) {
    if (window) {
        if (message != 0 && platform::IsWindow(window)) {
            windows_[window.endpoint()] = message;
        } else {
            windows_.erase(window.endpoint());
        }
    } else if (thread_id != 0) {
        if (message != 0) {
            threads_[thread_id] = message;
        } else {
            threads_.erase(thread_id);
        }
    }
}

void NoticeListeners::PostAll() {
    std::vector<std::string> dead_windows;
    for (const auto& [endpoint, message] : windows_) {
        if (!platform::PostMessage(platform::WindowHandle(endpoint), message, 0, 0) &&
            platform::GetLastError() == platform::kErrorInvalidWindowHandle) {
            dead_windows.push_back(endpoint);
        }
    }
    for (const std::string& endpoint : dead_windows) {
        windows_.erase(endpoint);
    }
    std::vector<uint32_t> dead_threads;
    for (const auto& [thread_id, message] : threads_) {
        if (!platform::PostThreadMessage(thread_id, message, 0, 0) &&
            platform::LastPostError() == platform::kErrorInvalidThreadId) {
            dead_threads.push_back(thread_id);
        }
    }
    for (uint32_t thread_id : dead_threads) {
        threads_.erase(thread_id);
    }
}

bool NoticeListeners::Contains(const platform::WindowHandle& window) const {
    return windows_.count(window.endpoint()) != 0;
}

bool NoticeListeners::Contains(uint32_t thread_id) const {
    return threads_.count(thread_id) != 0;
}

}  // namespace ruzd::foundation
