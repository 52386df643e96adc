#pragma once

// A thread with a message loop that keeps every message posted to it, for tests of code that
// reports to a thread by a posted message; and an application whose thread is such a thread.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "foundation/app_hooks.h"
#include "platform/message_queue.h"
#include "platform/thread.h"
#include "testing/eventually.h"

namespace ruzd::testing {

class MessageReceiver {
public:
    MessageReceiver() : thread_("receiver") {
        thread_.Start([this] {
            platform::Message message;
            while (platform::GetMessage(message)) {
                std::lock_guard lock(lock_);
                kept_.push_back(std::move(message));
                message = platform::Message{};
                arrived_.notify_all();
            }
        });
    }
    ~MessageReceiver() {
        platform::PostThreadMessage(thread_.id(), platform::kWmQuit);
        thread_.Join();
    }
    MessageReceiver(const MessageReceiver&) = delete;
    MessageReceiver& operator=(const MessageReceiver&) = delete;

    uint32_t id() const { return thread_.id(); }

    // The next message kept, waiting up to `limit` for one; none when none came.
    std::optional<platform::Message> Next(std::chrono::milliseconds limit = kPatience) {
        std::unique_lock lock(lock_);
        if (!arrived_.wait_for(lock, limit, [this] { return !kept_.empty(); })) {
            return std::nullopt;
        }
        platform::Message message = std::move(kept_.front());
        kept_.pop_front();
        return message;
    }

    size_t Pending() {
        std::lock_guard lock(lock_);
        return kept_.size();
    }

private:
    platform::Thread thread_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<platform::Message> kept_;
};

// An application whose thread is the given one, so that results for "the application" go there.
class AppOnThread : public foundation::AppHooks {
public:
    explicit AppOnThread(uint32_t thread) : thread_(thread) {}
    uint32_t ApplicationThreadId() const override { return thread_; }

private:
    uint32_t thread_;
};

}  // namespace ruzd::testing
