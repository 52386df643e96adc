#include "foundation/debug_line_queues.h"

namespace ruzd::foundation {

std::shared_ptr<DebugThreadQueue> DebugLineQueues::AddQueue() {
    auto queue = std::make_shared<DebugThreadQueue>();
    std::lock_guard list(queues_lock_);
    queues_.push_back(queue);
    return queue;
}

bool DebugLineQueues::Push(DebugThreadQueue& queue, std::string_view line) {
    std::unique_lock lock(queue.lock);
    // Read under the queue's lock: StopAccepting takes every queue's lock after clearing it,
    // so a line either goes in before the last batch is taken or is written by its thread.
    if (!accepting_.load())
        return false;
    if (queue.bytes.size() >= bound_bytes_.load(std::memory_order_relaxed)) {
        WaitForRoom(queue, lock);
        if (!accepting_.load())
            return false;
    }
    const size_t before = queue.bytes.size();
    queue.bytes.append(line);
    const bool filling_up = before < kWakeBytes && queue.bytes.size() >= kWakeBytes;
    lock.unlock();
    // The writer set its sleeping flag before it took this queue's lock for the last look, so a
    // line that came after that look sees the flag here.
    if (filling_up || writer_sleeping_.load(std::memory_order_relaxed))
        Wake();
    return true;
}

void DebugLineQueues::WaitForRoom(DebugThreadQueue& queue, std::unique_lock<std::mutex>& lock) {
    const auto give_up = std::chrono::steady_clock::now() + kLongestWaitForRoom;
    while (queue.bytes.size() >= bound_bytes_.load(std::memory_order_relaxed) &&
           accepting_.load()) {
        queue.waiting_for_room = true;
        Wake();
        // A writer that cannot take the queue in that time is stuck: the line goes in over the
        // bound rather than being lost.
        if (queue.room.wait_until(lock, give_up) == std::cv_status::timeout)
            return;
    }
}

void DebugLineQueues::TakeAll(std::string& out) {
    std::lock_guard list(queues_lock_);
    for (auto it = queues_.begin(); it != queues_.end();) {
        DebugThreadQueue& queue = **it;
        bool abandoned;
        {
            std::lock_guard lock(queue.lock);
            queue.bytes.swap(queue.taken);
            if (queue.waiting_for_room) {
                queue.waiting_for_room = false;
                queue.room.notify_all();
            }
            // Seen under the queue's lock: a thread that let go of its queue pushed its last
            // line before, and that line was just taken.
            abandoned = it->use_count() == 1;
        }
        out += queue.taken;
        // A burst must not keep its memory in a thread that writes little afterwards.
        if (queue.taken.capacity() > 4 * kWakeBytes &&
            queue.taken.size() < queue.taken.capacity() / 8) {
            std::string().swap(queue.taken);
        }
        queue.taken.clear();
        it = abandoned ? queues_.erase(it) : it + 1;
    }
}

void DebugLineQueues::StartAccepting() {
    {
        std::lock_guard lock(wake_lock_);
        wake_requested_ = false;
        stopping_ = false;
    }
    // The writer starts asleep: the first line wakes it.
    writer_sleeping_.store(true);
    accepting_.store(true);
}

void DebugLineQueues::StopAccepting() {
    accepting_.store(false);
    {
        std::lock_guard lock(wake_lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    // Threads waiting for room write their lines themselves from now on.
    std::lock_guard list(queues_lock_);
    for (const auto& queue : queues_) {
        std::lock_guard lock(queue->lock);
        queue->room.notify_all();
    }
}

bool DebugLineQueues::AwaitLines(bool busy) {
    std::unique_lock lock(wake_lock_);
    const auto woken = [this] { return wake_requested_ || stopping_; };
    if (busy) {
        wake_.wait_for(lock, kBatchWindow, woken);
    } else {
        wake_.wait(lock, woken);
    }
    wake_requested_ = false;
    return !stopping_;
}

void DebugLineQueues::Wake() {
    {
        std::lock_guard lock(wake_lock_);
        wake_requested_ = true;
        writer_sleeping_.store(false);
    }
    wake_.notify_one();
}

}  // namespace ruzd::foundation
