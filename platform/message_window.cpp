#include "platform/message_window.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/win_error.h"
#include "platform/window_endpoint.h"

namespace ruzd::platform {

namespace endpoint = window_endpoint;

// The waiting sender of one sent message. The first answer goes out; a reply object dropped
// without one answers 0 for the owner.
class WindowReply {
public:
    explicit WindowReply(int fd) : fd_(fd) {}
    ~WindowReply() { Answer(endpoint::ReplyStatus::kDone, 0); }
    WindowReply(const WindowReply&) = delete;
    WindowReply& operator=(const WindowReply&) = delete;

    bool Answer(endpoint::ReplyStatus status, int64_t value) {
        std::lock_guard lock(lock_);
        if (fd_ < 0) {
            return false;
        }
        const endpoint::Reply reply{endpoint::kMagic, status, value};
        // A sender that has given up has closed its end: the write fails quietly.
        endpoint::WriteAll(fd_, &reply, sizeof reply, endpoint::DeadlineAfter(kWriteTimeoutMs));
        ::close(fd_);
        fd_ = -1;
        return true;
    }

private:
    static constexpr uint32_t kWriteTimeoutMs = 1000;
    std::mutex lock_;
    int fd_;
};

namespace {

// How long a requester may take to write its request once connected.
constexpr uint32_t kRequestTimeoutMs = 1000;

uint64_t NextWindowId() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1);
}

const WindowMessagePayload* WindowPayloadOf(const Message& message) {
    return dynamic_cast<const WindowMessagePayload*>(message.payload.get());
}

}  // namespace

bool ReplyMessage(const Message& message, intptr_t result) {
    const WindowMessagePayload* payload = WindowPayloadOf(message);
    return payload != nullptr && payload->reply &&
           payload->reply->Answer(endpoint::ReplyStatus::kDone, result);
}

bool IsSentMessage(const Message& message) {
    const WindowMessagePayload* payload = WindowPayloadOf(message);
    return payload != nullptr && payload->reply != nullptr;
}

MessageWindow::MessageWindow() : id_(NextWindowId()) {}

MessageWindow::~MessageWindow() {
    Destroy();
}

bool MessageWindow::Create(std::string_view class_name, std::string_view title) {
    if (IsCreated()) {
        SetLastError(kErrorAlreadyExists);
        return false;
    }
    const std::optional<std::string> encoded = endpoint::EncodeClassName(class_name);
    if (!encoded) {
        SetLastError(class_name.empty() ? kErrorInvalidParameter : kErrorFilenameExcedRange);
        return false;
    }
    EnsureMessageQueue();
    owner_thread_ = CurrentThreadId();
    SetTitle(title);
    endpoint_ = endpoint::EndpointName(*encoded, ::getpid(), id_);
    listen_fd_ = endpoint::Listen(endpoint_);
    if (listen_fd_ < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    listener_ = std::make_unique<Thread>("WindowListener");
    if (wake_fd_ < 0 || !listener_->Start([this] { Serve(); })) {
        const uint32_t error = wake_fd_ < 0 ? WinErrorFromErrno(errno) : kErrorNotEnoughMemory;
        Destroy();
        SetLastError(error);
        return false;
    }
    return true;
}

void MessageWindow::Destroy() {
    if (listener_) {
        const uint64_t one = 1;
        (void)!::write(wake_fd_, &one, sizeof one);
        listener_->Join();
        listener_.reset();
    }
    if (listen_fd_ >= 0) {
        // The file goes first, so that nobody finds a window that no longer listens.
        endpoint::Remove(endpoint_);
        ::close(listen_fd_);
        listen_fd_ = -1;
    }
    if (wake_fd_ >= 0) {
        ::close(wake_fd_);
        wake_fd_ = -1;
    }
}

void MessageWindow::SetTitle(std::string_view title) {
    std::lock_guard lock(title_lock_);
    title_ = std::string(title.substr(0, endpoint::kMaxTitleBytes));
}

std::string MessageWindow::Title() const {
    std::lock_guard lock(title_lock_);
    return title_;
}

void MessageWindow::Serve() {
    for (;;) {
        pollfd entries[2] = {{listen_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (entries[1].revents != 0) {
            return;
        }
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            HandleConnection(fd);
        }
    }
}

void MessageWindow::HandleConnection(int fd) {
    endpoint::Request request;
    if (!endpoint::ReadAll(fd, &request, sizeof request,
                           endpoint::DeadlineAfter(kRequestTimeoutMs)) ||
        request.magic != endpoint::kMagic) {
        ::close(fd);
        return;
    }
    const auto wparam = static_cast<uintptr_t>(request.wparam);
    const auto lparam = static_cast<intptr_t>(request.lparam);
    switch (request.kind) {
        case endpoint::RequestKind::kTitle: {
            const std::string title = Title();
            const endpoint::Reply reply{endpoint::kMagic, endpoint::ReplyStatus::kDone,
                                        static_cast<int64_t>(title.size())};
            const auto deadline = endpoint::DeadlineAfter(kRequestTimeoutMs);
            if (endpoint::WriteAll(fd, &reply, sizeof reply, deadline)) {
                endpoint::WriteAll(fd, title.data(), title.size(), deadline);
            }
            ::close(fd);
            return;
        }
        case endpoint::RequestKind::kPost: {
            const bool posted =
                PostThreadMessage(owner_thread_, request.message, wparam, lparam,
                                  std::make_unique<WindowMessagePayload>(id_, nullptr));
            const endpoint::Reply reply{
                endpoint::kMagic,
                posted ? endpoint::ReplyStatus::kDone : endpoint::ReplyStatus::kRefused, 0};
            endpoint::WriteAll(fd, &reply, sizeof reply,
                               endpoint::DeadlineAfter(kRequestTimeoutMs));
            ::close(fd);
            return;
        }
        case endpoint::RequestKind::kSend: {
            // The reply travels with the message; this thread goes back to accepting at once.
            auto reply = std::make_shared<WindowReply>(fd);
            if (!PostThreadMessage(owner_thread_, request.message, wparam, lparam,
                                   std::make_unique<WindowMessagePayload>(id_, reply))) {
                reply->Answer(endpoint::ReplyStatus::kRefused, 0);
            }
            return;
        }
    }
    ::close(fd);
}

}  // namespace ruzd::platform
