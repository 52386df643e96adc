#pragma once

// What a listener does when accept fails for lack of descriptors (EMFILE, ENFILE): the waiting
// connection stays readable, so a listener that simply tried again would wake its loop at once,
// again and again, at full CPU. Instead it stops watching for connections for a short while
// and then tries again; the lack is logged once until a connection is accepted again.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/tcp_socket.h"

namespace ruzd::net {

class PollHandler;
class SocketReactor;

class AcceptPause {
public:
    static constexpr uint64_t kPauseMs = platform::kAcceptPauseMs;

    // Whether accept failed with `error` for lack of descriptors.
    static bool IsLackOfDescriptors(int error);

    // Stops accepting for kPauseMs on `reactor`'s clock; logs the first pause after an accepted
    // connection. `listener` is woken when the pause ends. Called on the reactor's thread.
    void Begin(const std::shared_ptr<SocketReactor>& reactor, std::weak_ptr<PollHandler> listener,
               int port);
    // A connection was accepted: the next lack is logged again.
    void Accepted() { logged_.store(false); }

    bool Paused() const { return paused_.load(); }
    // How often accepting paused.
    uint64_t Count() const { return count_.load(); }

private:
    std::atomic<bool> paused_{false};
    std::atomic<bool> logged_{false};
    std::atomic<uint64_t> count_{0};
};

}  // namespace ruzd::net
