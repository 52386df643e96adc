#include "platform/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>

#include "platform/child_groups.h"
#include "platform/error_output.h"

namespace ruzd::platform {
namespace {

StopSignal FromNumber(int number) {
    switch (number) {
        case SIGTERM:
            return StopSignal::kTerminate;
        case SIGQUIT:
            return StopSignal::kQuit;
        case SIGHUP:
            return StopSignal::kHangUp;
        default:
            return StopSignal::kInterrupt;
    }
}

sigset_t SetOf(uint32_t mask) {
    sigset_t set;
    sigemptyset(&set);
    for (const StopSignal signal :
         {StopSignal::kInterrupt, StopSignal::kTerminate, StopSignal::kQuit, StopSignal::kHangUp}) {
        if ((mask & (1u << static_cast<int>(signal))) != 0) {
            sigaddset(&set, SignalNumber(signal));
        }
    }
    return set;
}

std::atomic<const char*> g_stop_stage{"the program to end"};

std::string StageText() {
    return g_stop_stage.load();
}

[[noreturn]] void EndWithoutTheStop(StopSignal signal, const std::string& reason) {
    WriteErrorLine(reason + "; the stop waits for " + StageText());
    // The commands we run bounded (the watchdog's -C) go first: nothing would bound them after.
    KillChildGroups();
    ::_exit(128 + SignalNumber(signal));
}

}  // namespace

void SetStopStage(const char* what) {
    g_stop_stage.store(what != nullptr ? what : "the program to end");
}

int SignalNumber(StopSignal signal) {
    switch (signal) {
        case StopSignal::kInterrupt:
            return SIGINT;
        case StopSignal::kTerminate:
            return SIGTERM;
        case StopSignal::kQuit:
            return SIGQUIT;
        case StopSignal::kHangUp:
            return SIGHUP;
    }
    return SIGTERM;
}

StopSignals::StopSignals(std::initializer_list<StopSignal> signals) {
    for (const StopSignal signal : signals) {
        mask_ |= 1u << static_cast<int>(signal);
    }
    const sigset_t set = SetOf(mask_);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
    done_ = true;
    if (watcher_.joinable()) {
        watcher_.join();
    }
}

void StopSignals::Watch(std::function<void()> on_stop) {
    StartWatcher([this, on_stop = std::move(on_stop)](StopSignal signal) {
        on_stop();
        WatchStop(signal);
        return false;
    });
}

void StopSignals::WatchStop(StopSignal first) {
    const sigset_t set = SetOf(mask_);
    const timespec slice{0, 200'000'000};
    // Real time, as the time-outs of sockets and messages: a faster clock for tests must not
    // cut short a stop that takes its usual while.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(kStopBoundSeconds);
    while (!done_.load()) {
        const int number = sigtimedwait(&set, nullptr, &slice);
        if (number > 0) {
            EndWithoutTheStop(FromNumber(number), "a second stop signal ends the program at once");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            EndWithoutTheStop(
                first, "the stop has not ended within " + std::to_string(kStopBoundSeconds) + " s");
        }
    }
}

void StopSignals::WatchEach(std::function<void(StopSignal)> on_signal) {
    StartWatcher([on_signal = std::move(on_signal)](StopSignal signal) {
        on_signal(signal);
        return true;
    });
}

void StopSignals::StartWatcher(std::function<bool(StopSignal)> on_signal) {
    watcher_ = std::thread([this, on_signal = std::move(on_signal)] {
        // The watcher looks at the done flag between waits, so the owner can end it.
        const sigset_t set = SetOf(mask_);
        const timespec slice{0, 200'000'000};
        while (!done_.load()) {
            const int number = sigtimedwait(&set, nullptr, &slice);
            if (number > 0 && !on_signal(FromNumber(number))) {
                return;
            }
        }
    });
}

}  // namespace ruzd::platform
