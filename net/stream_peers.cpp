#include "net/stream_peers.h"

namespace ruzd::net {

StreamPeers::Kept StreamPeers::Receive(CClientSocket& socket, int count,
                                       const CFrameCutter::FrameHandler& deliver,
                                       size_t max_frames) {
    std::shared_ptr<Peer> peer;
    {
        std::lock_guard guard(lock_);
        auto found = peers_.find(socket.Serial());
        if (found == peers_.end() && count == 0) {
            return {};
        }
        if (found == peers_.end()) {
            // A new connection: a good moment to forget the ones that are gone.
            DropClosedLocked();
            found = peers_
                        .emplace(socket.Serial(),
                                 std::make_shared<Peer>(socket.weak_from_this(), side_))
                        .first;
        }
        peer = found->second;
    }
    const bool frames = peer->cutter.Append(socket.ReceiveBuffer(), static_cast<size_t>(count),
                                            deliver, max_frames);
    return {peer->cutter.Buffered(), frames};
}

void StreamPeers::Drop(const CClientSocket& socket) {
    std::shared_ptr<Peer> peer;
    {
        std::lock_guard guard(lock_);
        auto found = peers_.find(socket.Serial());
        if (found == peers_.end()) {
            return;
        }
        peer = std::move(found->second);
        peers_.erase(found);
    }
    peer->cutter.Clear();
}

void StreamPeers::DropClosed() {
    std::lock_guard guard(lock_);
    DropClosedLocked();
}

void StreamPeers::DropClosedLocked() {
    std::erase_if(peers_, [](const auto& entry) {
        const auto socket = entry.second->socket.lock();
        return !socket || !socket->IsOpen();
    });
}

size_t StreamPeers::Count() const {
    std::lock_guard guard(lock_);
    return peers_.size();
}

}  // namespace ruzd::net
