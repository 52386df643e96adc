#include "foundation/debug_line_queues.h"

namespace ruzd::foundation {
namespace {

// Moves the chunk being filled to the end of `to` and starts another, a spare one if there is.
void MoveFillingChunk(DebugThreadQueue& queue, std::vector<std::string>& to) {
    to.push_back(std::move(queue.filling));
    queue.filling.clear();
    if (!queue.spare.empty()) {
        queue.filling.swap(queue.spare.back());
        queue.spare.pop_back();
    }
}

}  // namespace

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
    if (queue.queued_bytes >= bound_bytes_.load(std::memory_order_relaxed)) {
        WaitForRoom(queue, lock);
        if (!accepting_.load())
            return false;
    }
    bool chunk_filled = false;
    if (queue.filling.size() + line.size() > queue.filling.capacity() && !queue.filling.empty()) {
        MoveFillingChunk(queue, queue.full);
        chunk_filled = true;
    }
    if (queue.filling.capacity() < kChunkBytes)
        queue.filling.reserve(kChunkBytes);
    queue.filling.append(line);
    queue.queued_bytes += line.size();
    lock.unlock();
    // The writer set its sleeping flag before it took this queue's lock for the last look, so a
    // line that came after that look sees the flag here.
    if (chunk_filled || writer_sleeping_.load(std::memory_order_relaxed))
        Wake();
    return true;
}

void DebugLineQueues::WaitForRoom(DebugThreadQueue& queue, std::unique_lock<std::mutex>& lock) {
    const auto give_up = std::chrono::steady_clock::now() + kLongestWaitForRoom;
    while (queue.queued_bytes >= bound_bytes_.load(std::memory_order_relaxed) &&
           accepting_.load()) {
        queue.waiting_for_room = true;
        Wake();
        // A writer that cannot take the queue in that time is stuck: the line goes in over the
        // bound rather than being lost.
        if (queue.room.wait_until(lock, give_up) == std::cv_status::timeout)
            return;
    }
}

void DebugLineQueues::TakeAll(const std::function<void(std::string_view)>& write) {
    std::lock_guard list(queues_lock_);
    for (auto it = queues_.begin(); it != queues_.end();) {
        DebugThreadQueue& queue = **it;
        const bool abandoned = TakeLines(*it);
        for (const std::string& chunk : queue.taken)
            write(chunk);
        if (abandoned) {
            it = queues_.erase(it);
        } else {
            ReturnChunks(queue);
            ++it;
        }
    }
}

bool DebugLineQueues::TakeLines(const std::shared_ptr<DebugThreadQueue>& holder) {
    DebugThreadQueue& queue = *holder;
    std::lock_guard lock(queue.lock);
    queue.taken.swap(queue.full);
    if (!queue.filling.empty())
        MoveFillingChunk(queue, queue.taken);
    queue.queued_bytes = 0;
    if (queue.waiting_for_room) {
        queue.waiting_for_room = false;
        queue.room.notify_all();
    }
    // Seen under the queue's lock: a thread that let go of its queue pushed its last line
    // before, and that line was just taken.
    return holder.use_count() == 1;
}

void DebugLineQueues::ReturnChunks(DebugThreadQueue& queue) const {
    std::lock_guard lock(queue.lock);
    if (queue.taken.empty()) {
        // A thread that has written nothing since the last batch keeps no memory for lines.
        queue.spare.clear();
        if (queue.filling.empty())
            std::string().swap(queue.filling);
        return;
    }
    // A busy thread fills its chunks again at once: kept, they spare it fresh memory.
    const size_t keep = bound_bytes_.load(std::memory_order_relaxed) / kChunkBytes + 1;
    for (std::string& chunk : queue.taken) {
        if (queue.spare.size() >= keep || chunk.capacity() > kChunkBytes)
            break;
        chunk.clear();
        queue.spare.push_back(std::move(chunk));
    }
    queue.taken.clear();
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
        wake_.wait_for(lock, kIdleLook, woken);
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
