#include "boardsim/core/event_queue.h"

#include <chrono>
#include <utility>

namespace ruzd::boardsim {

EventQueue::~EventQueue() {
    Shutdown();
}

int32_t EventQueue::Put(int32_t device, int32_t type, std::vector<uint8_t> data,
                        std::vector<uint8_t> extension) {
    std::lock_guard<std::mutex> lock(mutex_);
    Event event;
    event.handle = next_handle_++;
    event.device = device;
    event.type = type;
    event.data = std::move(data);
    event.extension = std::move(extension);
    queue_.push_back(std::move(event));
    arrived_.notify_one();
    return queue_.back().handle;
}

bool EventQueue::Wait(int32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    timeout_ms = wait_override_.value_or(timeout_ms);
    const auto ready = [this] { return shut_down_ || !queue_.empty(); };
    if (timeout_ms < 0) {
        arrived_.wait(lock, ready);
    } else {
        arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
    }
    if (shut_down_ || queue_.empty())
        return false;
    current_[std::this_thread::get_id()] = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

std::optional<Event> EventQueue::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = current_.find(std::this_thread::get_id());
    if (it == current_.end())
        return std::nullopt;
    return it->second;
}

void* EventQueue::CurrentData() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = current_.find(std::this_thread::get_id());
    if (it == current_.end() || it->second.data.empty())
        return nullptr;
    return it->second.data.data();
}

void* EventQueue::CurrentExtension() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = current_.find(std::this_thread::get_id());
    if (it == current_.end() || it->second.extension.empty())
        return nullptr;
    return it->second.extension.data();
}

std::optional<Event> EventQueue::CurrentWithData(const void* data) const {
    if (data == nullptr)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [thread, event] : current_) {
        if (!event.data.empty() && event.data.data() == data)
            return event;
    }
    return std::nullopt;
}

void EventQueue::OverrideWaits(std::optional<int32_t> timeout_ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    wait_override_ = timeout_ms;
}

size_t EventQueue::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

void EventQueue::Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    shut_down_ = true;
    arrived_.notify_all();
}

}  // namespace ruzd::boardsim
