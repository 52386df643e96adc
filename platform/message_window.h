#pragma once

// A top-level window that other processes can find by its class and title and send messages
// to. It belongs to the thread that creates it: every message sent or posted to it arrives in
// that thread's message queue (platform/message_queue.h) with its id, wParam and lParam, so the
// thread handles it in its own message loop beside its timers, with no lock of its own.
//
// A sent message waits for its reply: the owner gives it with ReplyMessage while handling the
// message. A sent message that the owner lets go of without a reply answers 0, as a window
// procedure that leaves a message to the default handling does; RunMessageLoop and WaitPumping
// let go of each message once it is dispatched, a loop of the owner's own must do the same. The
// sender waits only as long as its time-out, so a hung owner never holds a sender up for longer.
//
// A small listening thread per window accepts the requests; it answers title queries itself,
// so finding a window never waits for its owner.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/message_queue.h"
#include "platform/thread.h"

namespace ruzd::platform {

class WindowReply;

// The payload of every message that comes from a window's endpoint.
struct WindowMessagePayload : MessagePayload {
    WindowMessagePayload(uint64_t window_id, std::shared_ptr<WindowReply> reply)
        : window(window_id), reply(std::move(reply)) {}
    // The id of the receiving window (MessageWindow::id).
    uint64_t window;
    // Set for a sent message: where its reply goes.
    std::shared_ptr<WindowReply> reply;
};

// Replies to a sent message now; the sender goes on at once. True when `message` was sent and
// not replied to yet (a posted message has nobody to answer).
bool ReplyMessage(const Message& message, intptr_t result);

// Whether the message was sent by another process that waits for a reply.
bool IsSentMessage(const Message& message);

class MessageWindow {
public:
    MessageWindow();
    // Destroys the window.
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Creates the window for the calling thread (whose message queue is made now). False, with
    // the last error set, for an empty or too long class name, a window that exists already or
    // an endpoint that cannot be made.
    bool Create(std::string_view class_name, std::string_view title);
    // Removes the window: it is no longer found, and requests still waiting are refused.
    void Destroy();
    bool IsCreated() const { return listen_fd_ >= 0; }

    void SetTitle(std::string_view title);
    std::string Title() const;

    // Unique in the process; carried by the messages of this window.
    uint64_t id() const { return id_; }
    uint32_t owner_thread() const { return owner_thread_; }
    // The endpoint others reach the window by (a WindowHandle's endpoint).
    const std::string& endpoint() const { return endpoint_; }

private:
    void Serve();
    void HandleConnection(int fd);

    const uint64_t id_;
    uint32_t owner_thread_ = 0;
    std::string endpoint_;
    int listen_fd_ = -1;
    int wake_fd_ = -1;
    mutable std::mutex title_lock_;
    std::string title_;
    std::unique_ptr<Thread> listener_;
};

}  // namespace ruzd::platform
