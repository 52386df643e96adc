#include "node/worker_thread.h"

#include <algorithm>
#include <array>
#include <utility>

#include "foundation/debug_function.h"
#include "node/manager_log.h"
#include "platform/waitable.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;

struct WorkerRun::State {
    std::atomic<bool> live{true};
    // Set when the run is ended, so that a loop waiting out its slice ends at once.
    platform::Event ended{true};
    // The thread that runs the loop; what a stop of this run waits on.
    std::shared_ptr<platform::Thread> thread;
};

namespace {

// The thread object of the calling worker thread, for its body to remember as the run's thread.
thread_local std::weak_ptr<platform::Thread> t_workerThread;
// The run the start of the calling worker thread made, for its body to take.
thread_local std::shared_ptr<WorkerRun::State> t_startedRun;

void EndRunState(WorkerRun::State& run) {
    run.live.store(false);
    run.ended.Set();
}

}  // namespace

bool WorkerRun::ShouldRun() const {
    return state_->live.load();
}

void WorkerRun::Sleep(uint32_t ms) const {
    state_->ended.Wait(ms);
}

bool WorkerRun::WaitFor(platform::Waitable& object, uint32_t ms) const {
    std::array<platform::Waitable*, 2> objects{&object, &state_->ended};
    return platform::WaitForMultiple(objects, false, ms) == platform::kWaitObject0;
}

WorkerThread::WorkerThread(WorkerTexts texts, uint32_t stopTimeoutMs)
    : texts_(std::move(texts)), stop_timeout_ms_(stopTimeoutMs) {}

WorkerThread::~WorkerThread() {
    std::lock_guard lock(lock_);
    if (run_) {
        EndRunState(*run_);
    }
    for (const auto& starting : starting_) {
        EndRunState(*starting);
    }
}

bool WorkerThread::IsStartedOrRunning() const {
    if (IsRunning()) {
        return true;
    }
    std::lock_guard lock(lock_);
    return std::any_of(starting_.begin(), starting_.end(),
                       [](const auto& run) { return run->live.load(); });
}

bool WorkerThread::Start(std::function<void()> entry) {
    auto thread = std::make_shared<platform::Thread>(texts_.name);
    auto run = std::make_shared<WorkerRun::State>();
    run->thread = thread;
    {
        std::lock_guard lock(lock_);
        std::erase_if(starting_, [](const auto& old) { return !old->live.load(); });
        starting_.push_back(run);
    }
    // The thread holds its own object until its very end, so that the object is let go on the
    // thread itself (which then lets the thread finish on its own) unless the thread has ended
    // before: letting go of a thread object never waits for a running thread.
    const bool started = thread->Start([self = thread, run, entry = std::move(entry)]() mutable {
        t_workerThread = self;
        t_startedRun = run;
        // A start whose entry never reached the body leaves nothing that looks like running.
        struct EndsWithThread {
            std::shared_ptr<WorkerRun::State> run;
            ~EndsWithThread() { run->live.store(false); }
        } endsWithThread{std::move(run)};
        // The entry is released before the thread reports its end, so that whatever it
        // holds is gone once a stop has seen the thread end.
        std::function<void()> local;
        local.swap(entry);
        local();
    });
    std::lock_guard lock(lock_);
    if (!started) {
        std::erase(starting_, run);
        ManagerLog(kDebugChannelGeneral, kDebugNone, "Could not start " + texts_.name);
        return false;
    }
    thread_ = std::move(thread);
    return true;
}

uint32_t WorkerThread::RunBody(const Loop& loop, const std::function<void()>& prologue) {
    foundation::CDebugFunction trace;
    trace.Enter(texts_.name, kDebugNone, texts_.bodyChannel, kDebugNone)->EndLine();

    std::shared_ptr<WorkerRun::State> run = std::exchange(t_startedRun, nullptr);
    if (!run) {
        run = std::make_shared<WorkerRun::State>();
        run->thread = t_workerThread.lock();
    }
    {
        std::lock_guard lock(lock_);
        std::erase(starting_, run);
        // A stop came before the body began: this run is over already.
        if (!run->live.load() || run_flag_.load() != 0) {
            trace.SetResult(1);
            return 1;
        }
        run_ = run;
        run_flag_.store(1);
    }

    // A loop that fails must not leave the flag set: the worker could never be started again.
    struct EndOnUnwind {
        WorkerThread& worker;
        const std::shared_ptr<WorkerRun::State>& run;
        ~EndOnUnwind() { worker.EndRun(run); }
    } endOnUnwind{*this, run};

    if (prologue) {
        prologue();
    }
    ManagerLog(kDebugChannelGeneral, kDebugNone, texts_.startedLine);
    loop(WorkerRun(run));
    ManagerLog(kDebugChannelGeneral, kDebugNone, texts_.endedLine);
    trace.SetResult(0);
    return 0;
}

void WorkerThread::EndRun(const std::shared_ptr<WorkerRun::State>& run) {
    std::lock_guard lock(lock_);
    EndRunState(*run);
    // Only the run that holds the flag clears it; a later run keeps its own.
    if (run_ == run) {
        run_.reset();
        run_flag_.store(0);
    }
}

void WorkerThread::ClearRunFlag() {
    std::function<void()> wake;
    {
        std::lock_guard lock(lock_);
        if (run_ || !starting_.empty()) {
            wake = wake_;
        }
        if (run_) {
            EndRunState(*run_);
            run_.reset();
        }
        for (const auto& starting : starting_) {
            EndRunState(*starting);
        }
        starting_.clear();
        run_flag_.store(0);
    }
    if (wake) {
        wake();
    }
}

void WorkerThread::SetWake(std::function<void()> wake) {
    std::lock_guard lock(lock_);
    wake_ = std::move(wake);
}

void WorkerThread::Stop(bool forgetThread) {
    foundation::CDebugFunction trace;
    trace.Enter(texts_.stopName, kDebugNone, kDebugChannelGeneral, kDebugNone)->EndLine();

    std::shared_ptr<platform::Thread> thread;
    {
        std::lock_guard lock(lock_);
        thread = run_ && run_->thread ? run_->thread : thread_;
    }
    ClearRunFlag();
    if (thread && !thread->IsCurrent() && !thread->WaitForEnd(stop_timeout_ms_)) {
        ManagerLog(kDebugChannelGeneral, kDebugNone, texts_.notEndedLine);
    }
    if (forgetThread) {
        std::lock_guard lock(lock_);
        thread_.reset();
    }
}

bool WorkerThread::OnWorkerThread() {
    return !t_workerThread.expired();
}

uint32_t WorkerThread::ThreadId() const {
    std::lock_guard lock(lock_);
    return thread_ ? thread_->id() : 0;
}

bool WorkerThread::ThreadEnded() const {
    std::shared_ptr<platform::Thread> thread;
    {
        std::lock_guard lock(lock_);
        thread = thread_;
    }
    return !thread || thread->WaitForEnd(0);
}

}  // namespace ruzd::node
