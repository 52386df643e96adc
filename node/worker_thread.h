#pragma once

// WorkerThread: one of the manager's worker threads, with its run flag and the thread object the
// stop waits on.
//
// The run flag is 1 while a body's loop runs. The thread sets it itself when its body starts (a
// body that finds it already set refuses to run), a stop clears it to ask the loop to end, and
// the body clears it as its last act. Each start of a body is one run: a run that a stop has
// ended stays ended even when a later start sets the flag again before the old thread has looked
// at it, so a thread that was slow to stop never comes back to life beside its successor.
// A thread counts as running from its start on, so a stop made before its body set the flag
// ends that run too, and the body then runs nothing.
//
// A loop that waits on something of its own rather than through its run is woken by the wake
// set for it (SetWake) when its run is ended.
//
// Threads are never joined from themselves and never killed: a stop waits a limited time for the
// thread to end and otherwise leaves it to end by itself. Each thread holds its own thread object
// until its end, so letting go of one never waits for a running thread, and none is ever left
// behind joinable. The bodies run on the worker object, which must outlive them (the manager's
// threads hold a share of the manager, and with it of its workers).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/debug_channel.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace ruzd::node {

// How long a stop waits for its thread to end.
inline constexpr uint32_t kWorkerStopTimeoutMs = 10000;

// The texts a worker writes to the debug log.
struct WorkerTexts {
    std::string name;  // the trace scope of the entry procedure and of the body ("ISDNThread")
    foundation::EDebugChannelType bodyChannel = foundation::kDebugChannelDti;
    std::string startedLine;   // "ISDN Thread started"
    std::string endedLine;     // "ISDN Thread ended"
    std::string stopName;      // the trace scope of the stop ("EndISDNThread")
    std::string notEndedLine;  // logged when the stop gave up waiting
};

class WorkerThread;

// One run of a worker's loop, as the loop sees it.
class WorkerRun {
public:
    // What a run shares between its loop, its worker and its thread; opaque outside the worker.
    struct State;

    // Whether the loop should go on: the run flag is set and this run was not ended.
    bool ShouldRun() const;
    // Waits up to `ms`, or less when the run is asked to end.
    void Sleep(uint32_t ms) const;
    // Waits up to `ms` for `object`, or less when the run is asked to end; true when the object
    // was signalled.
    bool WaitFor(platform::Waitable& object, uint32_t ms) const;

private:
    friend class WorkerThread;
    explicit WorkerRun(std::shared_ptr<State> state) : state_(std::move(state)) {}

    std::shared_ptr<State> state_;
};

class WorkerThread {
public:
    using Loop = std::function<void(const WorkerRun& run)>;

    explicit WorkerThread(WorkerTexts texts, uint32_t stopTimeoutMs = kWorkerStopTimeoutMs);
    // Ends the current run.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    const WorkerTexts& texts() const { return texts_; }

    // The run flag: 1 while a body's loop runs, else 0.
    int32_t RunFlag() const { return run_flag_.load(); }
    bool IsRunning() const { return RunFlag() == 1; }
    // Whether a body's loop runs, or a thread was started whose body has not begun yet: what a
    // stop of every worker must not pass over.
    bool IsStartedOrRunning() const;

    // Starts a new thread running `entry` and keeps it as the thread object the stop waits on.
    // The run flag is not looked at: `entry` is expected to call RunBody, which refuses to run a
    // second loop. A stop before the body begins ends the run the start made, and the body then
    // refuses to run. False when no thread could be made.
    bool Start(std::function<void()> entry);

    // The body of the worker, on its thread: opens its trace scope, refuses with 1 when the run
    // flag is already set, else sets it, runs `prologue` and logs the start line, runs `loop`
    // until it returns, logs the end line, clears the flag and returns 0. When `loop` or
    // `prologue` throws, the flag of this run is cleared and the exception goes on to the caller.
    uint32_t RunBody(const Loop& loop, const std::function<void()>& prologue = {});

    // Clears the run flag and waits up to the stop time-out for the thread of the run (or the
    // thread object kept) to end; logs the not-ended line when it did not. Never waits for the
    // calling thread itself. `forgetThread` drops the kept thread object afterwards.
    void Stop(bool forgetThread);

    // Ends the current run without waiting for its thread.
    void ClearRunFlag();

    // What ends a wait of the loop's own that the run's end cannot reach (a vendor library's
    // wait for its next event): called, outside the worker's lock, whenever a stop ends a run,
    // so that the stop need not wait out that wait's time-out.
    void SetWake(std::function<void()> wake);

    // Whether the calling thread is the thread of a worker.
    static bool OnWorkerThread();

    // The id of the kept thread object's thread, 0 when none is kept; whether that thread ended.
    uint32_t ThreadId() const;
    bool ThreadEnded() const;

private:
    // Ends the run; clears the flag when the run still holds it.
    void EndRun(const std::shared_ptr<WorkerRun::State>& run);

    const WorkerTexts texts_;
    const uint32_t stop_timeout_ms_;
    std::atomic<int32_t> run_flag_{0};
    mutable std::mutex lock_;  // guards run_ and thread_; never held while waiting
    std::shared_ptr<WorkerRun::State> run_;
    // The runs of started threads whose bodies have not begun yet.
    std::vector<std::shared_ptr<WorkerRun::State>> starting_;
    std::shared_ptr<platform::Thread> thread_;
    std::function<void()> wake_;
};

}  // namespace ruzd::node
