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
    Event started(true);
    try {
        thread_ = std::thread([state = state_, name = name_, &started, body = std::move(body)] {
            SetCurrentThreadSystemName(name);
            state->id.store(CurrentThreadId());
            // Posts to the thread succeed from the moment Start returns.
            EnsureMessageQueue();
            started.Set();
            body();
            state->running.store(false);
            state->ended.Set();
        });
    } catch (const std::system_error&) {
        state_->running.store(false);
        return false;
    }
    started.Wait(kInfinite);
    return true;
}

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

}  // namespace ruzd::platform
