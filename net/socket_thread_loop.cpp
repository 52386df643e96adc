#include "net/socket_thread_loop.h"

#include "net/socket_log.h"

namespace ruzd::net {

void SocketThreadLoop::LoopState::CloseOnce() {
    if (!closed.exchange(true) && close) {
        close();
    }
}

SocketThreadLoop::SocketThreadLoop(std::string name)
    : name_(name), state_(std::make_shared<LoopState>()), thread_(std::move(name)) {}

SocketThreadLoop::~SocketThreadLoop() {
    Stop();
}

void SocketThreadLoop::Start(Steps steps, std::shared_ptr<platform::Waitable> predecessor) {
    state_->close = std::move(steps.close);
    const bool started =
        thread_.Start([shared = state_, create = std::move(steps.create),
                       open = std::move(steps.open), predecessor = std::move(predecessor)] {
            const bool made = create();
            if (!made) {
                // Nothing will run the reactor: a task posted to it now would keep the shared
                // state alive through the reactor's own queue.
                shared->stopping.store(true);
            }
            shared->ready.Set();
            if (made) {
                if (predecessor) {
                    platform::Waitable* objects[] = {predecessor.get(), &shared->stop};
                    platform::WaitForMultiple(objects, false, platform::kInfinite);
                }
                if (!shared->stop.IsSet()) {
                    open();
                }
                shared->reactor->Run();
            }
            shared->CloseOnce();
            shared->finished->Set();
        });
    if (!started) {
        SocketLog("Cannot start socket thread %s", name_.c_str());
        state_->finished->Set();
        return;
    }
    state_->ready.Wait(kReadyTimeoutMs);
}

void SocketThreadLoop::Post(std::function<void()> task) {
    if (!state_->stopping.load()) {
        state_->reactor->Post(std::move(task));
    }
}

void SocketThreadLoop::Stop(std::function<void()> last) {
    if (!thread_.started()) {
        return;
    }
    if (!state_->stopping.exchange(true)) {
        state_->reactor->Post([shared = state_, last = std::move(last)] {
            if (last) {
                last();
            }
            shared->CloseOnce();
            shared->reactor->Quit();
        });
        state_->stop.Set();
    }
    if (thread_.IsCurrent()) {
        return;
    }
    if (!thread_.WaitForEnd(kStopTimeoutMs)) {
        SocketLog("Socket thread %s did not end within %u ms; still waiting for it", name_.c_str(),
                  kStopTimeoutMs);
    }
    thread_.Join();
}

}  // namespace ruzd::net
