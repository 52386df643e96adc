#pragma once

// The frame cutters of a stream socket thread, one per connection that has sent bytes, keyed by
// the connection's serial number. A connection's cutter is used on its socket's thread only.

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "net/frame_cutter.h"
#include "net/socket_core/client_socket.h"

namespace ruzd::net {

class StreamPeers {
public:
    explicit StreamPeers(CFrameCutter::Side side) : side_(side) {}

    // What a receive left for later.
    struct Kept {
        // The bytes kept of the connection's stream.
        size_t bytes = 0;
        // Whether whole frames may be among them.
        bool frames = false;
    };

    // Cuts the bytes the socket just received (its receive buffer; none for a count of 0) and
    // hands each frame they complete to `deliver`, in order, at most `max_frames` of them: the
    // others are kept for a later call.
    Kept Receive(CClientSocket& socket, int count, const CFrameCutter::FrameHandler& deliver,
                 size_t max_frames = SIZE_MAX);

    // Drops the connection's kept bytes; a cut in progress on it ends with the frame at hand.
    void Drop(const CClientSocket& socket);

    // Drops the kept bytes of connections that are closed: those a stopped listener ended
    // without a close notice.
    void DropClosed();

    // The connections that have bytes kept (or had, until they close).
    size_t Count() const;

private:
    struct Peer {
        Peer(std::weak_ptr<CClientSocket> owner, CFrameCutter::Side side)
            : socket(std::move(owner)), cutter(side) {}
        std::weak_ptr<CClientSocket> socket;
        CFrameCutter cutter;
    };

    void DropClosedLocked();

    const CFrameCutter::Side side_;
    mutable std::mutex lock_;
    std::unordered_map<uint64_t, std::shared_ptr<Peer>> peers_;
};

}  // namespace ruzd::net
