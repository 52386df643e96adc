#include "app/view/manager_stopper.h"

#include <utility>

#include "platform/thread_priority.h"

namespace ruzd::app {

ManagerStopper::ManagerStopper(std::function<void()> stop) : stop_(std::move(stop)) {}

ManagerStopper::~ManagerStopper() {
    Wait();
}

bool ManagerStopper::Request() {
    if (requested_.exchange(true)) {
        return false;
    }
    const bool started = thread_.Start([this] {
        // A process that may not raise a priority still stops, at the one it has.
        platform::RaiseCurrentThreadToHighestPriority();
        stop_();
    });
    if (!started) {
        // No thread to spare: the window must still end.
        stop_();
    }
    return true;
}

void ManagerStopper::Wait() {
    if (!thread_.IsCurrent()) {
        thread_.Join();
    }
}

}  // namespace ruzd::app
