#pragma once

// A debugger of one process on Linux: it seizes every thread of the process, follows new
// threads, and tells crash signals apart as Windows tells exceptions apart. A crash signal the
// process handles itself (a handler installed and the signal not blocked by the thread) is a
// first chance: the tracer hands the signal back and the process goes on. Any other crash signal
// is a second chance: the process would die of it. Other signals pass unchanged; stop signals
// stop the process as they would without a tracer.
//
// Every call must come from the one thread that attached: the system binds a tracee to it.

#include <sys/types.h>
#include <sys/user.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <map>
#include <vector>

namespace ruzd::platform {

// What attaching gives for a process that has ended, or is ending, before it could be attached.
inline constexpr int kTraceeGone = ESRCH;

struct TraceEvent {
    enum class Kind { kNone, kFirstChance, kSecondChance, kExited };
    Kind kind = Kind::kNone;
    pid_t thread = 0;
    int signal = 0;
    uint64_t address = 0;  // the instruction pointer of the thread
    int exit_code = 0;
};

// One thread's state, read while the process is stopped.
struct TracedThread {
    pid_t tid = 0;
    user_regs_struct registers{};
    user_fpregs_struct fp_registers{};
};

class ProcessTracer {
public:
    explicit ProcessTracer(pid_t pid) : pid_(pid) {}
    // Detaches from whatever is still traced.
    ~ProcessTracer();
    ProcessTracer(const ProcessTracer&) = delete;
    ProcessTracer& operator=(const ProcessTracer&) = delete;

    // 0, or the system's error (EPERM when the process may not be traced or runs as another
    // user than the caller, kTraceeGone when it is gone or ending).
    int Attach();
    // Waits up to `timeout_ms` for something worth telling; kNone when nothing came.
    TraceEvent Wait(uint32_t timeout_ms);
    // Lets the thread of a first chance go on with its signal.
    void PassSignal(const TraceEvent& event);
    // Stops every other thread (the faulting one is stopped already) and reads all threads,
    // the faulting one first.
    std::vector<TracedThread> StopAll(const TraceEvent& event);
    // The faulting thread's signal information.
    bool SignalInfo(pid_t thread, siginfo_t& info) const;
    // Lets every thread go; the one of `event` (when given) with its signal, so that the process
    // ends as it would have without a tracer. 0, or the error of the first failed detach of a
    // process that still runs (one that has ended or is ending gives none).
    int DetachAll(const TraceEvent* event = nullptr);

    pid_t pid() const { return pid_; }

private:
    bool Seize(pid_t tid);
    // Handles one stop; true when it is an event for the caller.
    bool Handle(pid_t tid, int status, TraceEvent& event);
    bool IsFirstChance(pid_t tid, int signal) const;

    const pid_t pid_;
    // Traced threads, with a signal to hand on when they are let go.
    std::map<pid_t, int> threads_;
};

}  // namespace ruzd::platform
