#include "platform/window_message.h"

#include <unistd.h>

#include <cerrno>

#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/window_endpoint.h"

namespace ruzd::platform {

namespace endpoint = window_endpoint;

namespace {

// Whether somebody listens on the endpoint. A stale file of a dead owner is removed on the way.
bool Listening(const std::string& name) {
    const int fd = endpoint::Connect(name, endpoint::DeadlineAfter(kWindowQueryTimeoutMs));
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == ECONNREFUSED) {
        endpoint::RemoveIfOwnerDead(name);
    }
    return false;
}

void SetErrorOfFailedExchange(int error) {
    SetLastError(error == ETIMEDOUT ? kErrorTimeout : kErrorInvalidWindowHandle);
}

}  // namespace

std::vector<WindowHandle> EnumWindows() {
    std::vector<WindowHandle> windows;
    for (std::string& name : endpoint::ListEndpoints()) {
        if (Listening(name)) {
            windows.emplace_back(std::move(name));
        }
    }
    return windows;
}

WindowHandle FindWindow(std::string_view class_name, std::optional<std::string_view> title) {
    std::optional<std::string> encoded;
    if (!class_name.empty()) {
        encoded = endpoint::EncodeClassName(class_name);
        if (!encoded) {
            return {};
        }
    }
    for (std::string& name : endpoint::ListEndpoints()) {
        if (encoded && endpoint::ParseEndpointName(name)->encoded_class != *encoded) {
            continue;
        }
        WindowHandle window(std::move(name));
        if (!title) {
            if (Listening(window.endpoint())) {
                return window;
            }
            continue;
        }
        std::string text;
        if (GetWindowText(window, text) && EqualsIgnoreCase(text, *title)) {
            return window;
        }
    }
    return {};
}

bool IsWindow(const WindowHandle& window) {
    return window && endpoint::ParseEndpointName(window.endpoint()) && Listening(window.endpoint());
}

std::optional<uint32_t> GetWindowProcessId(const WindowHandle& window) {
    const std::optional<endpoint::EndpointParts> parts =
        endpoint::ParseEndpointName(window.endpoint());
    if (!parts) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(parts->pid);
}

bool GetWindowText(const WindowHandle& window, std::string& title, uint32_t timeout_ms) {
    title.clear();
    if (!window || !endpoint::ParseEndpointName(window.endpoint())) {
        SetLastError(kErrorInvalidWindowHandle);
        return false;
    }
    endpoint::Request request;
    request.kind = endpoint::RequestKind::kTitle;
    endpoint::Reply reply;
    if (!endpoint::Exchange(window.endpoint(), request, endpoint::DeadlineAfter(timeout_ms), reply,
                            &title)) {
        const int error = errno;
        if (error == ECONNREFUSED) {
            endpoint::RemoveIfOwnerDead(window.endpoint());
        }
        SetErrorOfFailedExchange(error);
        title.clear();
        return false;
    }
    return true;
}

namespace {

bool Deliver(const WindowHandle& window, endpoint::RequestKind kind, uint32_t message,
             uintptr_t wparam, intptr_t lparam, uint32_t timeout_ms, intptr_t* result) {
    if (result != nullptr) {
        *result = 0;
    }
    if (!window || !endpoint::ParseEndpointName(window.endpoint())) {
        SetLastError(kErrorInvalidWindowHandle);
        return false;
    }
    endpoint::Request request;
    request.kind = kind;
    request.message = message;
    request.wparam = static_cast<uint64_t>(wparam);
    request.lparam = static_cast<int64_t>(lparam);
    endpoint::Reply reply;
    if (!endpoint::Exchange(window.endpoint(), request, endpoint::DeadlineAfter(timeout_ms),
                            reply)) {
        SetErrorOfFailedExchange(errno);
        return false;
    }
    if (reply.status != endpoint::ReplyStatus::kDone) {
        SetLastError(kErrorInvalidWindowHandle);
        return false;
    }
    if (result != nullptr) {
        *result = static_cast<intptr_t>(reply.value);
    }
    return true;
}

}  // namespace

bool SendMessageTimeout(const WindowHandle& window, uint32_t message, uintptr_t wparam,
                        intptr_t lparam, uint32_t timeout_ms, intptr_t* result) {
    return Deliver(window, endpoint::RequestKind::kSend, message, wparam, lparam, timeout_ms,
                   result);
}

bool PostMessage(const WindowHandle& window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return Deliver(window, endpoint::RequestKind::kPost, message, wparam, lparam,
                   kWindowQueryTimeoutMs, nullptr);
}

}  // namespace ruzd::platform
