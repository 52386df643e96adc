#include "platform/stop_signals.h"

#include <signal.h>

#include <ctime>

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

}  // namespace

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
    StartWatcher([on_stop = std::move(on_stop)](StopSignal) {
        on_stop();
        return false;
    });
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
