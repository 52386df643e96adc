#pragma once

// The queues between the threads that end debug lines and the log's writer thread: one queue
// per thread, so that a line enters its queue under a lock that only its own thread and the
// writer ever take, never one that all writing threads share. The writer takes the contents of
// every queue at once, in a batch, and is woken only when it sleeps or a queue fills up; while
// lines keep coming it looks again after a short batch window of its own.
//
// A queue holds at most a bound of bytes: a thread whose queue is full wakes the writer and
// waits for it to take the queue, but only for a bounded time, after which its line goes in
// anyway. No line is ever dropped.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

// One thread's ended lines for one log, in file bytes, in chunks of a fixed size: a chunk never
// grows, so a line never waits for the queue to be copied, and emptied chunks come back for
// reuse. Guarded by its lock, but for `taken`. Cache lines of its own, so that threads writing
// at once do not contend for one.
struct alignas(64) DebugThreadQueue {
    std::mutex lock;
    std::condition_variable room;  // the writer took the lines
    bool waiting_for_room = false;
    std::vector<std::string> full;  // oldest first
    std::string filling;
    size_t queued_bytes = 0;
    std::vector<std::string> spare;
    // The writer's: the chunks it took under the lock and writes after it, so that the thread
    // never waits for the file.
    std::vector<std::string> taken;
};

class DebugLineQueues {
public:
    // The writer looks again this long after a batch while lines keep coming.
    static constexpr std::chrono::milliseconds kBatchWindow{10};
    // A thread that fills a chunk wakes the writer before its window ends. Below the size from
    // which the C library maps memory of its own for each allocation.
    static constexpr size_t kChunkBytes = 64u << 10;
    static constexpr size_t kDefaultBoundBytes = 1u << 20;
    // The longest a thread waits for room in its full queue.
    static constexpr std::chrono::seconds kLongestWaitForRoom{1};
    // An idle writer looks again this often, for the log's own lines that fall due with time.
    static constexpr std::chrono::seconds kIdleLook{1};

    DebugLineQueues() = default;
    DebugLineQueues(const DebugLineQueues&) = delete;
    DebugLineQueues& operator=(const DebugLineQueues&) = delete;

    // A new queue for the calling thread, which holds it as long as it writes to this log. A
    // queue no thread holds any more is dropped once its last lines were taken.
    std::shared_ptr<DebugThreadQueue> AddQueue();

    // Appends the line (file bytes) to `queue` when the writer runs; false when it does not,
    // for the caller to write the line itself.
    bool Push(DebugThreadQueue& queue, std::string_view line);

    // Hands the contents of every queue to `write`, each thread's lines in order, in pieces of
    // whole lines, and empties the queues. The log calls it under its own lock, so that batches
    // never overlap.
    void TakeAll(const std::function<void(std::string_view)>& write);

    void SetBoundBytes(size_t bytes) { bound_bytes_.store(bytes); }

    // The writer's side. Accepting starts the queueing (and the writer's waits); stopping ends
    // both and wakes the threads waiting for room, which then write their lines themselves.
    void StartAccepting();
    void StopAccepting();
    // Waits for lines: up to the batch window when `busy`, else until a line wakes the writer
    // or kIdleLook has passed. False once accepting has stopped.
    bool AwaitLines(bool busy);
    // The writer goes to sleep until woken: from now on the next line wakes it. The writer then
    // looks at the queues once more, for lines pushed before their threads could see this.
    void Sleep() { writer_sleeping_.store(true); }
    void StayAwake() { writer_sleeping_.store(false); }

private:
    // Takes the queue's lines into its `taken` chunks; whether its thread let go of it.
    static bool TakeLines(const std::shared_ptr<DebugThreadQueue>& queue);
    // Gives the written chunks back for reuse, as many as the bound holds, or frees them (all,
    // from a queue found idle).
    void ReturnChunks(DebugThreadQueue& queue) const;
    void Wake();
    void WaitForRoom(DebugThreadQueue& queue, std::unique_lock<std::mutex>& lock);

    std::atomic<bool> accepting_{false};
    std::atomic<bool> writer_sleeping_{false};
    std::atomic<size_t> bound_bytes_{kDefaultBoundBytes};

    std::mutex queues_lock_;
    std::vector<std::shared_ptr<DebugThreadQueue>> queues_;

    std::mutex wake_lock_;
    std::condition_variable wake_;
    bool wake_requested_ = false;
    bool stopping_ = false;
};

}  // namespace ruzd::foundation
