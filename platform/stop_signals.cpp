#include "platform/stop_signals.h"

#include <signal.h>

#include <ctime>

namespace ruzd::platform {
namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

int SignalNumber(StopSignal signal) {
    return signal == StopSignal::kInterrupt ? SIGINT : SIGTERM;
}

StopSignals::StopSignals() {
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
    done_ = true;
    if (watcher_.joinable()) {
        watcher_.join();
    }
}

void StopSignals::Watch(std::function<void()> on_stop) {
    watcher_ = std::thread([this, on_stop = std::move(on_stop)] {
        const sigset_t set = StopSet();
        // The watcher looks at the done flag between waits, so the owner can end it.
        const timespec slice{0, 200'000'000};
        while (!done_.load()) {
            if (sigtimedwait(&set, nullptr, &slice) > 0) {
                on_stop();
                return;
            }
        }
    });
}

}  // namespace ruzd::platform
