#pragma once

// The event loop of one socket thread: poll(2) over the thread's non-blocking sockets, plus an
// eventfd through which other threads post work (stop, reconnect, listen again) and ask the
// loop to look again at what its sockets wait for (a send queue that filled up).
//
// Handlers are held by shared pointers for as long as they are registered, and a handler that
// is removed while the loop dispatches is not called again, even when its descriptor number is
// reused at once by a new socket. Each round, every ready handler gets one turn, those served
// first before the others; a handler that takes its work in small turns (a connection of a
// stranger) keeps the round short for everybody.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ruzd::net {

class SocketReactor;

// Something the reactor watches: one descriptor and the readiness it waits for now.
class PollHandler {
public:
    virtual ~PollHandler() = default;

    // The descriptor to watch now, or -1 while there is none. Read on the reactor's thread.
    virtual int PollFd() const = 0;
    // The POLLIN / POLLOUT bits wanted now; errors and hang-ups are always reported.
    virtual short PollEvents() const = 0;
    // What poll reported for PollFd; called on the reactor's thread. With a turn pending
    // (HasPendingTurn), it is called in the next round whatever poll reported, with 0 when
    // nothing.
    virtual void OnPollEvents(short revents) = 0;

    // Whether the handler has work left over from its last call that it goes on with in the
    // next round, readiness or not (received bytes not all handled yet). Read on the reactor's
    // thread.
    virtual bool HasPendingTurn() const { return false; }
    // Whether the handler goes before the others in every round (the connection the node works
    // for), so that its turn never waits for all of theirs.
    virtual bool ServedFirst() const { return false; }

private:
    friend class SocketReactor;
    std::atomic<bool> registered_{false};
};

class SocketReactor {
public:
    SocketReactor();
    ~SocketReactor();
    SocketReactor(const SocketReactor&) = delete;
    SocketReactor& operator=(const SocketReactor&) = delete;

    // False when the wake-up descriptor could not be made; Run then returns at once.
    bool IsValid() const { return wake_fd_ >= 0; }

    // Any thread. A handler is watched from the loop's next round on.
    void Add(std::shared_ptr<PollHandler> handler);
    void Remove(PollHandler* handler);

    // Any thread: runs `task` on the loop's thread, in the order posted.
    void Post(std::function<void()> task);
    // Any thread: runs `task` on the loop's thread once `delay_ms` have passed on the process
    // clock (platform::CurrentClock), after the readiness of that round.
    void PostAfter(uint64_t delay_ms, std::function<void()> task);
    // Any thread: makes the loop read every handler's PollEvents again.
    void Wake();

    // Runs the loop on the calling thread until Quit.
    void Run();
    // Any thread; the loop ends before it dispatches anything further.
    void Quit();

    bool IsLoopThread() const;

private:
    struct Timer {
        uint64_t due_ms;
        std::function<void()> task;
    };

    void RunPostedTasks();
    // How long poll may wait: until the first timer is due, -1 without one.
    int PollTimeoutMs();
    void RunDueTimers();

    int wake_fd_ = -1;
    std::atomic<bool> quit_{false};
    std::atomic<std::thread::id> loop_thread_{};

    std::mutex lock_;
    std::vector<std::shared_ptr<PollHandler>> handlers_;
    uint64_t handlers_version_ = 0;
    std::vector<std::function<void()>> tasks_;
    std::vector<Timer> timers_;
};

}  // namespace ruzd::net
