#include "platform/thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/message_queue.h"

namespace ruzd::platform {

uint32_t CurrentThreadId() {
    thread_local const uint32_t id = static_cast<uint32_t>(::gettid());
    return id;
}

void SetCurrentThreadSystemName(const std::string& name) {
    // Linux keeps 15 characters and a terminating zero.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

Thread::Thread(std::string name) : name_(std::move(name)), state_(std::make_shared<State>()) {}

Thread::~Thread() {
    if (!thread_.joinable()) {
        return;
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

uint32_t Thread::id() const {
    return state_->id.load();
}

bool Thread::Start(std::function<void()> body) {
    if (thread_.joinable() || state_->id.load() != 0) {
        return false;
    }
    state_->running.store(true);
    // The body may free this object as soon as it runs, so the new thread waits until Start
    // has stored its handle and will touch nothing of the object any more. The two signals
    // are shared: the thread may still be leaving its wait when Start has returned.
    struct Handshake {
        Event started{true};
        Event stored{true};
    };
    auto handshake = std::make_shared<Handshake>();
    std::thread thread;
    try {
        thread = std::thread([state = state_, name = name_, handshake, body = std::move(body)] {
            SetCurrentThreadSystemName(name);
            state->id.store(CurrentThreadId());
            // Posts to the thread succeed from the moment Start returns.
            EnsureMessageQueue();
            handshake->started.Set();
            handshake->stored.Wait(kInfinite);
            body();
            state->running.store(false);
            state->ended.Set();
        });
    } catch (const std::system_error&) {
        state_->running.store(false);
        return false;
    }
    handshake->started.Wait(kInfinite);
    thread_ = std::move(thread);
    handshake->stored.Set();
    return true;
}

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

}  // namespace ruzd::platform
