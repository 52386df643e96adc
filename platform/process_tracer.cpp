#include "platform/process_tracer.h"

#include <sys/ptrace.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/proc_file.h"
#include "platform/process_identity.h"

namespace ruzd::platform {
namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(10);

bool IsCrashSignal(int signal) {
    switch (signal) {
        case SIGSEGV:
        case SIGBUS:
        case SIGILL:
        case SIGFPE:
        case SIGABRT:
        case SIGSYS:
        case SIGTRAP:
            return true;
        default:
            return false;
    }
}

bool IsStopSignal(int signal) {
    return signal == SIGSTOP || signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU;
}

// A signal mask line of a /proc status file ("SigCgt:\t0000000000004a02").
uint64_t MaskOf(const std::string& status, const std::string& field) {
    std::istringstream lines(status);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stoull(line.substr(field.size() + 1), nullptr, 16);
        }
    }
    return 0;
}

// The kernel's flag of a thread on its way out (PF_EXITING), in the flags of its stat file.
constexpr unsigned long kExitingFlag = 0x4;

bool Has(uint64_t mask, int signal) {
    return (mask >> (signal - 1)) & 1;
}

std::vector<pid_t> ThreadsOf(pid_t pid) {
    std::vector<pid_t> threads;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(ProcFilePath(pid, "task"), error)) {
        threads.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    return threads;
}

// Whether the thread still runs: not gone, not dead and waiting to be reaped, not ending (on its
// way out, or killed: a process that exits kills its other threads so).
bool IsThreadLive(pid_t pid, pid_t tid) {
    const std::string task = "task/" + std::to_string(tid) + "/";
    const std::string stat = ReadProcFile(pid, task + "stat");
    const size_t close = stat.rfind(')');
    char state = 'X';
    unsigned long flags = 0;
    if (close == std::string::npos ||
        std::sscanf(stat.c_str() + close + 1, " %c %*d %*d %*d %*d %*d %lu", &state, &flags) != 2 ||
        state == 'Z' || state == 'X' || (flags & kExitingFlag) != 0) {
        return false;
    }
    const std::string status = ReadProcFile(pid, task + "status");
    return !Has(MaskOf(status, "SigPnd"), SIGKILL) && !Has(MaskOf(status, "ShdPnd"), SIGKILL);
}

// Whether a thread of the process still runs (the process is neither gone nor ending).
bool HasLiveThread(pid_t pid) {
    for (pid_t tid : ThreadsOf(pid)) {
        if (IsThreadLive(pid, tid)) {
            return true;
        }
    }
    return false;
}

// Lets one thread go with `signal`; 0, or the system's error.
int DetachThread(pid_t tid, int signal) {
    if (::ptrace(PTRACE_DETACH, tid, nullptr,
                 reinterpret_cast<void*>(static_cast<intptr_t>(signal))) == 0) {
        return 0;
    }
    // A running thread must be stopped before it can be let go.
    const int error = errno;
    if (error != ESRCH || ::ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr) != 0) {
        return error;
    }
    int status = 0;
    if (::waitpid(tid, &status, __WALL) == tid && (WIFEXITED(status) || WIFSIGNALED(status))) {
        return 0;  // it ended meanwhile: nothing left to let go
    }
    return ::ptrace(PTRACE_DETACH, tid, nullptr,
                    reinterpret_cast<void*>(static_cast<intptr_t>(signal))) == 0
               ? 0
               : errno;
}

}  // namespace

ProcessTracer::~ProcessTracer() {
    if (!threads_.empty()) {
        DetachAll();
    }
}

bool ProcessTracer::Seize(pid_t tid) {
    if (::ptrace(PTRACE_SEIZE, tid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACECLONE)) != 0) {
        return false;
    }
    threads_[tid] = 0;
    return true;
}

int ProcessTracer::Attach() {
    // Threads may start while we seize the others: go round until none is new.
    for (bool found_new = true; found_new;) {
        found_new = false;
        const std::vector<pid_t> threads = ThreadsOf(pid_);
        if (threads.empty()) {
            return kTraceeGone;
        }
        for (pid_t tid : threads) {
            if (threads_.count(tid) != 0) {
                continue;
            }
            if (!Seize(tid)) {
                const int error = errno;
                if (tid == pid_) {
                    DetachAll();
                    return HasLiveThread(pid_) ? error : kTraceeGone;
                }
                continue;  // a thread that ended meanwhile
            }
            found_new = true;
        }
    }
    // Asked once the process is held, when its id can no longer pass to another process: a
    // process of another user is not ours to trace, even where the system lets root do it.
    if (!RunsAsCallingUser(static_cast<uint32_t>(pid_))) {
        DetachAll();
        return EPERM;
    }
    return 0;
}

bool ProcessTracer::IsFirstChance(pid_t tid, int signal) const {
    const std::string process = ReadProcFile(pid_, "status");
    const std::string thread = ReadProcFile(pid_, "task/" + std::to_string(tid) + "/status");
    return Has(MaskOf(process, "SigCgt"), signal) && !Has(MaskOf(thread, "SigBlk"), signal);
}

bool ProcessTracer::Handle(pid_t tid, int status, TraceEvent& event) {
    if (WIFEXITED(status) || WIFSIGNALED(status)) {
        threads_.erase(tid);
        if (tid == pid_) {
            event.kind = TraceEvent::Kind::kExited;
            event.thread = tid;
            event.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            threads_.clear();
            return true;
        }
        return false;
    }
    if (!WIFSTOPPED(status)) {
        return false;
    }
    threads_.emplace(tid, 0);
    const int signal = WSTOPSIG(status);
    const int ptrace_event = status >> 16;
    if (ptrace_event == PTRACE_EVENT_CLONE) {
        unsigned long new_thread = 0;
        if (::ptrace(PTRACE_GETEVENTMSG, tid, nullptr, &new_thread) == 0) {
            threads_.emplace(static_cast<pid_t>(new_thread), 0);
        }
        ::ptrace(PTRACE_CONT, tid, nullptr, nullptr);
        return false;
    }
    if (ptrace_event == PTRACE_EVENT_STOP) {
        if (IsStopSignal(signal)) {
            ::ptrace(PTRACE_LISTEN, tid, nullptr, nullptr);
        } else {
            ::ptrace(PTRACE_CONT, tid, nullptr, nullptr);
        }
        return false;
    }
    if (!IsCrashSignal(signal)) {
        ::ptrace(PTRACE_CONT, tid, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(signal)));
        return false;
    }
    user_regs_struct registers{};
    ::ptrace(PTRACE_GETREGS, tid, nullptr, &registers);
    event.thread = tid;
    event.signal = signal;
    event.address = registers.rip;
    event.kind = IsFirstChance(tid, signal) ? TraceEvent::Kind::kFirstChance
                                            : TraceEvent::Kind::kSecondChance;
    return true;
}

TraceEvent ProcessTracer::Wait(uint32_t timeout_ms) {
    TraceEvent event;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!threads_.empty()) {
        int status = 0;
        const pid_t tid = ::waitpid(-1, &status, __WALL | __WNOTHREAD | WNOHANG);
        if (tid > 0) {
            if (Handle(tid, status, event)) {
                return event;
            }
            continue;
        }
        if (tid < 0 && errno == ECHILD) {
            threads_.clear();
            event.kind = TraceEvent::Kind::kExited;
            event.thread = pid_;
            return event;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kWaitSlice);
    }
    return event;
}

void ProcessTracer::PassSignal(const TraceEvent& event) {
    ::ptrace(PTRACE_CONT, event.thread, nullptr,
             reinterpret_cast<void*>(static_cast<intptr_t>(event.signal)));
}

std::vector<TracedThread> ProcessTracer::StopAll(const TraceEvent& event) {
    std::vector<pid_t> order{event.thread};
    for (auto& [tid, pending] : threads_) {
        if (tid == event.thread) {
            continue;
        }
        if (::ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr) != 0) {
            continue;
        }
        // Wait for this thread's stop; a signal that stops it first is handed on at the detach.
        for (;;) {
            int status = 0;
            if (::waitpid(tid, &status, __WALL) != tid || !WIFSTOPPED(status)) {
                break;
            }
            const int ptrace_event = status >> 16;
            if (ptrace_event == PTRACE_EVENT_STOP) {
                break;
            }
            if (ptrace_event == 0) {
                pending = WSTOPSIG(status);
                break;
            }
            ::ptrace(PTRACE_CONT, tid, nullptr, nullptr);
        }
        order.push_back(tid);
    }
    std::vector<TracedThread> threads;
    for (pid_t tid : order) {
        TracedThread thread;
        thread.tid = tid;
        if (::ptrace(PTRACE_GETREGS, tid, nullptr, &thread.registers) != 0) {
            continue;
        }
        ::ptrace(PTRACE_GETFPREGS, tid, nullptr, &thread.fp_registers);
        threads.push_back(thread);
    }
    return threads;
}

bool ProcessTracer::SignalInfo(pid_t thread, siginfo_t& info) const {
    return ::ptrace(PTRACE_GETSIGINFO, thread, nullptr, &info) == 0;
}

int ProcessTracer::DetachAll(const TraceEvent* event) {
    // The thread with the fatal signal goes last: once it has its signal the process dies, and
    // threads still traced could not be let go.
    const pid_t last = event != nullptr ? event->thread : 0;
    std::vector<std::pair<pid_t, int>> order;
    for (const auto& [tid, pending] : threads_) {
        if (tid != last) {
            order.emplace_back(tid, pending);
        }
    }
    if (event != nullptr && threads_.count(last) != 0) {
        order.emplace_back(last, event->signal);
    }
    threads_.clear();
    int first_error = 0;
    for (const auto& [tid, signal] : order) {
        const int error = DetachThread(tid, signal);
        // A process that has ended, or is ending, is no longer ours to let go: no error.
        if (error != 0 && first_error == 0 && HasLiveThread(pid_)) {
            first_error = error;
        }
    }
    return first_error;
}

}  // namespace ruzd::platform
