// The manager's five workers: how they are started, how their bodies run and survive
// exceptions, and how they are stopped.

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <utility>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "node/manager_log.h"
#include "node/queue_worker_loop.h"
#include "node/vesmarin_manager.h"
#include "node/worker_priority.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelVoice;
using foundation::kDebugNone;

namespace {

// How long one wait of each worker may last before it looks at its run flag again.
constexpr uint32_t kISDNIdleSliceMs = 500;
constexpr uint32_t kAmtelcoSliceMs = 4500;
constexpr uint32_t kFileHandlingSliceMs = 500;

// The pause after a failure of the ISDN body, so that a failing worker does not race.
constexpr auto kISDNFailurePause = std::chrono::milliseconds(50);

// The event library's parameter that the ISDN worker sets to 0 on the SRL device before it
// waits for events.
constexpr int32_t kSrlDevice = 0;
constexpr int32_t kSrlParameter = 5;

}  // namespace

WorkerThread& CVesmarinManager::WorkerOf(Worker worker) {
    return const_cast<WorkerThread&>(std::as_const(*this).WorkerOf(worker));
}

const WorkerThread& CVesmarinManager::WorkerOf(Worker worker) const {
    switch (worker) {
        case Worker::kISDN:
            return isdn_worker_;
        case Worker::kAmtelco:
            return amtelco_worker_;
        case Worker::kAculab:
            return aculab_worker_;
        case Worker::kRelayDigit:
            return relay_digit_worker_;
        case Worker::kFileHandling:
            break;
    }
    return file_handling_worker_;
}

bool CVesmarinManager::IsWorkerRunning(Worker worker) const {
    return WorkerOf(worker).IsRunning();
}

uint32_t CVesmarinManager::WorkerThreadId(Worker worker) const {
    return WorkerOf(worker).ThreadId();
}

// --- Start ---

// The thread holds a share of the manager for as long as it runs, so the manager outlives its
// workers; the share is let go when the entry procedure returns, and when it was the last one
// the manager goes on that worker's thread.
std::function<void()> CVesmarinManager::WorkerEntry(ThreadProc proc) {
    return [share = shared_from_this(), proc]() mutable {
        const std::shared_ptr<CVesmarinManager> manager = std::move(share);
        proc(*manager);
    };
}

void CVesmarinManager::StartWorker(WorkerThread& worker, ThreadProc proc) {
    // A thread asked to start that has not yet set its flag is not seen: its body refuses a
    // second run.
    if (worker.IsRunning()) {
        return;
    }
    worker.Start(WorkerEntry(proc));
}

void CVesmarinManager::RestartFileHandlingThread() {
    foundation::CDebugFunction trace;
    trace.Enter("RestartFileHandlingThread", kDebugNone, kDebugChannelDti, kDebugNone)
        ->Append("ERROR")
        .EndLine();
    file_handling_worker_.ClearRunFlag();
    file_handling_worker_.Start(WorkerEntry(&CVesmarinManager::FileHandlingThreadProc));
}

// --- Entry procedures ---

uint32_t CVesmarinManager::ISDNThreadProc(CVesmarinManager& manager) {
    foundation::CDebugFunction trace;
    trace.Enter("ISDNThread", kDebugNone, kDebugChannelDti, kDebugNone)->EndLine();
    RaiseWorkerToHighestPriority("ISDNThread");
    try {
        const uint32_t result = manager.ISDNThread();
        trace.SetResult(static_cast<int>(result));
        return result;
    } catch (const std::exception& error) {
        std::printf("Exception catched in ISDNThread: %s\n", error.what());
        std::fflush(stdout);
        ManagerLog(kDebugChannelGeneral, kDebugNone,
                   std::string("Exception catched in ISDNThread: ") + error.what());
        std::this_thread::sleep_for(kISDNFailurePause);
    } catch (...) {
        ManagerLog(kDebugChannelGeneral, kDebugNone, "Exception catched in ISDNThread");
        std::this_thread::sleep_for(kISDNFailurePause);
    }
    trace.SetResult(0);
    return 0;
}

uint32_t CVesmarinManager::AmtelcoThreadProc(CVesmarinManager& manager) {
    foundation::CDebugFunction trace;
    trace.Enter("AmtelcoThread", kDebugNone, kDebugChannelDti, kDebugNone)->EndLine();
    try {
        return manager.AmtelcoThread();
    } catch (...) {
    }
    return 0;
}

uint32_t CVesmarinManager::AculabThreadProc(CVesmarinManager& manager) {
    foundation::CDebugFunction trace;
    trace.Enter("AculabThread", kDebugNone, kDebugChannelDti, kDebugNone)->EndLine();
    RaiseWorkerToHighestPriority("AculabThread");
    try {
        return manager.AculabThread();
    } catch (...) {
    }
    return 0;
}

uint32_t CVesmarinManager::RelayDigitThreadProc(CVesmarinManager& manager) {
    foundation::CDebugFunction trace;
    trace.Enter("RelayDigitThread", kDebugNone, kDebugChannelDti, kDebugNone)->EndLine();
    try {
        return manager.RelayDigitThread();
    } catch (...) {
    }
    return 0;
}

// The voice commands wait for the file-handling worker, so a failed one is replaced at once by
// a new one that goes on with the rest of the queue; the record being worked is lost.
uint32_t CVesmarinManager::FileHandlingThreadProc(CVesmarinManager& manager) {
    foundation::CDebugFunction trace;
    trace.Enter("FileHandlingThread", kDebugNone, kDebugChannelDti, kDebugNone)->EndLine();
    try {
        return manager.FileHandlingThread();
    } catch (...) {
        manager.RestartFileHandlingThread();
    }
    return 0;
}

// --- Bodies ---

uint32_t CVesmarinManager::ISDNThread() {
    return isdn_worker_.RunBody([this](const WorkerRun& run) { ISDNEventLoop(run); },
                                [this] {
                                    int32_t value = 0;
                                    if (hardware_) {
                                        hardware_->sr_setparm(0, kSrlDevice, kSrlParameter, &value);
                                    }
                                });
}

// Waits for Dialogic events in idle slices of 500 ms and forwards each one; right after an event
// it looks again without waiting, so that queued events are taken one after another. A stop
// wakes the wait with an event of its own (EventWaitWake), which is dropped. A wait
// that cannot wait (no event library, or one that fails at once) is made up by sleeping out the
// slice, so the worker never spins.
void CVesmarinManager::ISDNEventLoop(const WorkerRun& run) {
    uint32_t slice = kISDNIdleSliceMs;
    while (run.ShouldRun()) {
        telephony::CHardwareISDN* hardware = hardware_.get();
        if (hardware == nullptr || !hardware->IsIntelAvailable()) {
            run.Sleep(kISDNIdleSliceMs);
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        if (hardware->sr_waitevt(static_cast<int32_t>(slice)) >= 0) {
            if (!isdn_wake_.TakeWake(*hardware)) {
                DialogicHandler(0);
            }
            slice = 0;
            continue;
        }
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
        if (waited < static_cast<int64_t>(slice)) {
            run.Sleep(static_cast<uint32_t>(static_cast<int64_t>(slice) - waited));
        }
        slice = kISDNIdleSliceMs;
    }
}

// Sends the XDS messages queued, and polls the boards whenever nothing is queued; drops what
// is left when it ends.
uint32_t CVesmarinManager::AmtelcoThread() {
    return amtelco_worker_.RunBody([this](const WorkerRun& run) {
        RunQueueLoop<CAmtelcoParam>(
            run, amtelco_queue_, kAmtelcoSliceMs, QueueTurn::kWholeQueue,
            [this](CAmtelcoParam& record) { SendQueuedAmtelcoText(record); },
            [this] { PollAmtelcoBoards(); });
    });
}

uint32_t CVesmarinManager::FileHandlingThread() {
    return file_handling_worker_.RunBody([this](const WorkerRun& run) {
        const std::function<void(CFileHandlingParam&)> work = [this](CFileHandlingParam& record) {
            FileHandlingWork custom;
            {
                std::lock_guard lock(file_handling_work_lock_);
                custom = file_handling_work_;
            }
            if (custom) {
                custom(record);
            } else {
                WorkFileHandlingParam(record);
            }
        };
        RunQueueLoop(run, file_handling_queue_, kFileHandlingSliceMs, QueueTurn::kOneRecord, work);
    });
}

void CVesmarinManager::SetFileHandlingWork(FileHandlingWork work) {
    std::lock_guard lock(file_handling_work_lock_);
    file_handling_work_ = std::move(work);
}

// --- Producers ---

void CVesmarinManager::QueueFileHandlingParam(CFileHandlingParam record) {
    file_handling_queue_.Push(std::move(record));
}

void CVesmarinManager::QueueRelayDigitsParam(CRelayDigitsParam record) {
    relay_digit_queue_.Push(std::move(record));
}

void CVesmarinManager::QueueAmtelcoParam(int32_t board, const std::string& text) {
    amtelco_queue_.Push(CAmtelcoParam{board, text});
}

// --- Stops ---

void CVesmarinManager::EndISDNThread() {
    isdn_worker_.Stop(true);
}

void CVesmarinManager::EndAmtelcoThread() {
    amtelco_worker_.Stop(true);
}

void CVesmarinManager::EndAculabThread() {
    aculab_worker_.Stop(false);
}

void CVesmarinManager::EndRelayDigitThread() {
    relay_digit_worker_.Stop(false);
}

void CVesmarinManager::EndFileHandlingThread() {
    file_handling_worker_.Stop(false);
}

void CVesmarinManager::StopAllThreads() {
    // Stopped from a command, the workers may be waiting to write an event on the command
    // listener, whose writer the command holds: it is let go (before the connection lock, which
    // is always taken after it) until they have ended, so that their events leave and they end
    // at once rather than after the stop's time-out.
    if (listener_) {
        listener_->RunWithoutWriterLock([this] { StopAllThreadsLocked(); });
    } else {
        StopAllThreadsLocked();
    }
}

void CVesmarinManager::StopAllThreadsLocked() {
    std::lock_guard lock(connection_lock_);
    if (isdn_worker_.IsStartedOrRunning()) {
        EndISDNThread();
    }
    if (amtelco_worker_.IsStartedOrRunning()) {
        EndAmtelcoThread();
    }
    if (aculab_worker_.IsStartedOrRunning()) {
        EndAculabThread();
    }
    if (relay_digit_worker_.IsStartedOrRunning()) {
        EndRelayDigitThread();
    }
    if (file_handling_worker_.IsStartedOrRunning()) {
        EndFileHandlingThread();
    }
    CallConnectionState(0, 0);
    active_connection_ = 0;
    active_socket_.reset();
    if (listener_) {
        listener_->SetActiveConnection(0);
    }
    if (file_listener_) {
        file_listener_->SetCentralAddress({});
    }
    client_initialised_ = false;
    if (startup_delay_ == 0) {
        startup_delay_ = kDefaultStartupDelaySeconds;
    }
}

void CVesmarinManager::StartAllThreads() {
    StartWorker(isdn_worker_, &CVesmarinManager::ISDNThreadProc);
    if (hardware_ && hardware_->IsAmtelcoAvailable()) {
        StartWorker(amtelco_worker_, &CVesmarinManager::AmtelcoThreadProc);
    }
    if (hardware_ && hardware_->IsAculabAvailable()) {
        StartWorker(aculab_worker_, &CVesmarinManager::AculabThreadProc);
        StartWorker(relay_digit_worker_, &CVesmarinManager::RelayDigitThreadProc);
    }
    StartWorker(file_handling_worker_, &CVesmarinManager::FileHandlingThreadProc);
}

}  // namespace ruzd::node
