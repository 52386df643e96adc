#include "foundation/threaded_message_box.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "foundation/app_hooks.h"
#include "foundation/thread_names.h"
#include "foundation/trace.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "platform/timed_mutex.h"

namespace ruzd::foundation {
namespace {

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    uint32_t type = 0;
    MessageBoxAnswer answer;
};

// The queue and the one worker. The lock is never held while a box is shown, so that queuing
// and stopping never wait for the user.
struct MessageBoxQueue {
    platform::TimedMutex lock;
    std::condition_variable_any changed;
    std::deque<std::unique_ptr<MessageBoxRequest>> waiting;
    bool worker_running = false;
    uint32_t worker_thread = 0;
    // The request inside the presenter now; null when none, or once a stop forgot it, after
    // which its answer word is left alone.
    const MessageBoxRequest* shown = nullptr;
    bool presenting = false;
};

// Made once and never destroyed: a worker inside a box may outlive everything else.
MessageBoxQueue& Queue() {
    static MessageBoxQueue* queue = new MessageBoxQueue;
    return *queue;
}

void Write(const MessageBoxAnswer& answer, uint32_t value) {
    if (answer) {
        answer->store(value);
    }
}

void RunWorker() {
    MessageBoxQueue& queue = Queue();
    ThreadNames::Set(platform::CurrentThreadId(), "ThreadedMessageBox");
    {
        std::lock_guard<platform::TimedMutex> guard(queue.lock);
        queue.worker_thread = platform::CurrentThreadId();
    }
    for (;;) {
        std::unique_ptr<MessageBoxRequest> request;
        {
            std::lock_guard<platform::TimedMutex> guard(queue.lock);
            if (queue.waiting.empty()) {
                queue.worker_running = false;
                queue.worker_thread = 0;
                queue.changed.notify_all();
                break;
            }
            request = std::move(queue.waiting.front());
            queue.waiting.pop_front();
            queue.shown = request.get();
            queue.presenting = true;
            // Under the lock, so that a stop that comes first leaves the word alone.
            Write(request->answer, kMessageBoxShowing);
            queue.changed.notify_all();
        }
        Trace(kTraceVoice, 0, "GUI: Showing ThreadedMessageBox to user: Text='%s', Type=%u=%s",
              request->text.c_str(), request->type, MessageBoxTypeName(request->type));
        const auto result = static_cast<uint32_t>(
            platform::ShowMessageBox(request->text, CurrentApp().ApplicationName(), request->type));
        Trace(kTraceVoice, 0,
              "GUI: User responded to MessageBox: Text='%s', Type=%u=%s, Result=%u=%s",
              request->text.c_str(), request->type, MessageBoxTypeName(request->type), result,
              MessageBoxResultName(result));
        std::lock_guard<platform::TimedMutex> guard(queue.lock);
        if (queue.shown == request.get()) {
            Write(request->answer, result);
        }
        queue.shown = nullptr;
        queue.presenting = false;
    }
    ThreadNames::Set(platform::CurrentThreadId(), "");
}

// Starts the worker; false when no thread could be made. Called under the queue's lock.
bool StartWorker(MessageBoxQueue& queue) {
    try {
        std::thread worker(RunWorker);
        worker.detach();
    } catch (const std::system_error&) {
        return false;
    }
    queue.worker_running = true;
    return true;
}

}  // namespace

void ThreadedMessageBox(int /*reserved*/, std::string_view text, std::string_view caption,
                        uint32_t type, MessageBoxAnswer answer) {
    auto request = std::make_unique<MessageBoxRequest>();
    request->text = std::string(text);
    request->caption = std::string(caption);
    request->type = type;
    request->answer = std::move(answer);
    Trace(kTraceVoice, 0, "GUI: Queuing ThreadedMessageBox to user: Text='%s', Type=%u=%s",
          request->text.c_str(), type, MessageBoxTypeName(type));

    MessageBoxQueue& queue = Queue();
    std::unique_lock<platform::TimedMutex> guard(queue.lock, std::defer_lock);
    if (!guard.try_lock_for(std::chrono::milliseconds(kMessageBoxQueueWaitMs))) {
        Write(request->answer, kMessageBoxDropped);
        return;
    }
    const MessageBoxAnswer word = request->answer;
    queue.waiting.push_back(std::move(request));
    if (queue.worker_running) {
        Write(word, kMessageBoxWaiting);
        return;
    }
    if (!StartWorker(queue)) {
        // Nobody would ever show it: dropped, as when the lock is not had.
        queue.waiting.pop_back();
        Write(word, kMessageBoxDropped);
    }
}

void ThreadedMessageBox(std::string_view text) {
    // The plain form's answers land in one word of the process that nobody needs to read.
    static const MessageBoxAnswer plainAnswer = std::make_shared<std::atomic<uint32_t>>(0);
    ThreadedMessageBox(0, text, CurrentApp().ApplicationName(), platform::kMbOk, plainAnswer);
}

void StopThreadedMessageBox() {
    MessageBoxQueue& queue = Queue();
    std::unique_lock<platform::TimedMutex> guard(queue.lock);
    queue.waiting.clear();
    queue.shown = nullptr;
    if (queue.worker_thread == platform::CurrentThreadId()) {
        return;
    }
    // An idle worker ends at once; one inside a box is left to finish on its own.
    queue.changed.wait(guard, [&] { return !queue.worker_running || queue.presenting; });
}

const char* MessageBoxTypeName(uint32_t type) {
    static constexpr const char* kNames[] = {
        "OK",    "OKCANCEL",    "ABORTRETRYIGNORE", "YESNOCANCEL",
        "YESNO", "RETRYCANCEL", "CANCELTRYCONTINUE"};
    const uint32_t buttons = type & platform::kMbButtonsMask;
    return buttons < std::size(kNames) ? kNames[buttons] : "<unknown>";
}

const char* MessageBoxResultName(uint32_t result) {
    switch (result) {
        case 1:
            return "OK";
        case 2:
            return "CANCEL";
        case 3:
            return "ABORT";
        case 4:
            return "RETRY";
        case 5:
            return "IGNORE";
        case 6:
            return "YES";
        case 7:
            return "NO";
        case 8:
            return "CLOSE";
        case 9:
            return "HELP";
        case 10:
            return "TRYAGAIN";
        case 11:
            return "CONTINUE";
        case kMessageBoxTimedOut:
            return "TIMEOUT";
        default:
            return "<unknown>";
    }
}

}  // namespace ruzd::foundation
