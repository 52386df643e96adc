#pragma once

// Finding the windows of other processes and sending them messages. Only the message id and
// its two numbers cross; no memory is shared, so the numbers must not carry pointers.
//
// Class names compare without regard to case, as Windows compares them; so do titles. A window
// whose process has died is never found, even when its endpoint file is still there.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

// Names one window; empty (false) for none.
class WindowHandle {
public:
    WindowHandle() = default;
    explicit WindowHandle(std::string endpoint) : endpoint_(std::move(endpoint)) {}

    explicit operator bool() const { return !endpoint_.empty(); }
    const std::string& endpoint() const { return endpoint_; }
    bool operator==(const WindowHandle&) const = default;

private:
    std::string endpoint_;
};

// How long finding a window may wait for one window to tell its title.
inline constexpr uint32_t kWindowQueryTimeoutMs = 500;

// The live windows, each once, in a stable order.
std::vector<WindowHandle> EnumWindows();

// The first live window of the class whose title is `title` (any title when none is given); an
// empty class name matches every class. An empty handle when there is none.
WindowHandle FindWindow(std::string_view class_name,
                        std::optional<std::string_view> title = std::nullopt);

// Whether the window still exists.
bool IsWindow(const WindowHandle& window);

// The process that owns the window (GetWindowThreadProcessId); none for an empty handle.
std::optional<uint32_t> GetWindowProcessId(const WindowHandle& window);

// The window's title; false when the window is gone or does not answer in time.
bool GetWindowText(const WindowHandle& window, std::string& title,
                   uint32_t timeout_ms = kWindowQueryTimeoutMs);

// Sends the message and waits at most `timeout_ms` for the window's reply, which goes to
// `result`. False when the window is gone or its thread takes no messages (last error
// kErrorInvalidWindowHandle), or when no reply came in time (kErrorTimeout); `result` is then 0.
bool SendMessageTimeout(const WindowHandle& window, uint32_t message, uintptr_t wparam,
                        intptr_t lparam, uint32_t timeout_ms, intptr_t* result);

// Puts the message in the window's queue without waiting for it to be handled. False when the
// window is gone or takes no messages (kErrorInvalidWindowHandle), or when its process did not
// take the message within kWindowQueryTimeoutMs (kErrorTimeout).
bool PostMessage(const WindowHandle& window, uint32_t message, uintptr_t wparam = 0,
                 intptr_t lparam = 0);

}  // namespace ruzd::platform
