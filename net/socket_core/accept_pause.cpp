#include "net/socket_core/accept_pause.h"

#include <cerrno>

#include "net/socket_core/socket_reactor.h"
#include "net/socket_log.h"

namespace ruzd::net {

bool AcceptPause::IsLackOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

void AcceptPause::Begin(const std::shared_ptr<SocketReactor>& reactor,
                        std::weak_ptr<PollHandler> listener, int port) {
    if (!logged_.exchange(true)) {
        SocketLog("Listener on port %d pauses accepting: the process has no file descriptor left",
                  port);
    }
    count_.fetch_add(1);
    if (!reactor) {
        return;
    }
    paused_.store(true);
    // The listener owns this object; the task holds the listener while it runs.
    reactor->PostAfter(kPauseMs, [this, listener = std::move(listener)] {
        if (const auto held = listener.lock()) {
            paused_.store(false);
        }
    });
}

}  // namespace ruzd::net
