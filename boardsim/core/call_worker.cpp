#include "boardsim/core/call_worker.h"

#include <utility>

namespace ruzd::boardsim {

CallWorker::CallWorker(std::chrono::milliseconds delay)
    : delay_(delay), thread_([this] { Loop(); }) {}

CallWorker::~CallWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void CallWorker::Post(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.push_back({Clock::now() + delay_, std::move(action)});
    changed_.notify_all();
}

void CallWorker::Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
    changed_.notify_all();
}

void CallWorker::Run() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
    changed_.notify_all();
}

bool CallWorker::held() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
}

bool CallWorker::Settle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(
               lock, limit,
               [this] { return held_ || stopping_ || (pending_.empty() && !running_action_); }) &&
           !held_ && pending_.empty() && !running_action_;
}

void CallWorker::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (held_ || pending_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const Clock::time_point due = pending_.front().due;
        if (Clock::now() < due) {
            changed_.wait_until(lock, due);
            continue;
        }
        std::function<void()> action = std::move(pending_.front().action);
        pending_.pop_front();
        running_action_ = true;
        lock.unlock();
        action();
        lock.lock();
        running_action_ = false;
        changed_.notify_all();
    }
}

}  // namespace ruzd::boardsim
