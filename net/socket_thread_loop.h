#pragma once

// The thread of one socket-thread object: it makes the object's socket, runs the reactor that
// handles the socket (and, for a listener, every connection it accepted) and deletes the socket
// when it is told to stop. Other threads reach it only by posting work.
//
// A thread may be told to open its socket only once an earlier thread has ended: a listener
// that is restarted on the same port must wait for the old one to let the port go, and a
// connection made anew is reported closed before its successor starts.
//
// Everything the thread uses is shared with it, so the object may be destroyed on the thread
// itself (it then asks the thread to stop and lets it finish on its own).

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "net/socket_core/socket_reactor.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace ruzd::net {

class SocketThreadLoop {
public:
    // How long Start waits for the socket to be made, and Stop for the thread's end before it
    // says so in the log (it goes on waiting: a thread cannot be ended from outside safely).
    static constexpr uint32_t kReadyTimeoutMs = 1000;
    static constexpr uint32_t kStopTimeoutMs = 5000;

    struct Steps {
        // Makes the socket; false when there is none, and the thread ends.
        std::function<bool()> create;
        // Connects or listens, once `predecessor` (if any) has ended.
        std::function<void()> open;
        // Deletes the socket; runs on the thread when it stops.
        std::function<void()> close;
    };

    explicit SocketThreadLoop(std::string name);
    // Stops the thread.
    ~SocketThreadLoop();
    SocketThreadLoop(const SocketThreadLoop&) = delete;
    SocketThreadLoop& operator=(const SocketThreadLoop&) = delete;

    // Starts the thread and returns once it has made its socket, or after kReadyTimeoutMs.
    void Start(Steps steps, std::shared_ptr<platform::Waitable> predecessor);

    // Runs `task` on the thread; dropped once the thread stops.
    void Post(std::function<void()> task);

    // Ends the thread: on it `last` runs (when given), then the socket is deleted. Waits for the
    // end unless called on the thread itself. Only the first call's `last` runs.
    void Stop(std::function<void()> last = {});

    bool IsStopping() const { return state_->stopping.load(); }
    bool IsCurrent() const { return thread_.IsCurrent(); }
    const std::shared_ptr<SocketReactor>& reactor() const { return state_->reactor; }
    // Set once the thread has ended.
    std::shared_ptr<platform::Event> finished() const { return state_->finished; }

private:
    // What the loop's thread and its owner share: the reactor, the start and stop signals and
    // the close to run once.
    struct LoopState {
        std::shared_ptr<SocketReactor> reactor = std::make_shared<SocketReactor>();
        platform::Event ready{false};
        platform::Event stop{true};
        std::shared_ptr<platform::Event> finished = std::make_shared<platform::Event>(true);
        std::atomic<bool> stopping{false};
        std::function<void()> close;
        std::atomic<bool> closed{false};

        void CloseOnce();
    };

    std::string name_;
    std::shared_ptr<LoopState> state_;
    platform::Thread thread_;
};

}  // namespace ruzd::net
