#include "foundation/peer_log_limit.h"

#include <algorithm>

#include "foundation/debug_log.h"

namespace ruzd::foundation {
namespace {

thread_local PeerLogLimit* t_current_limit = nullptr;

// "10.1.2.3:4567" -> "10.1.2.3". A text with more than one colon is an IPv6 address, kept whole.
std::string AddressOf(std::string peer) {
    if (std::count(peer.begin(), peer.end(), ':') == 1) {
        peer.erase(peer.find(':'));
    }
    return peer;
}

}  // namespace

void PeerLogLimit::SetPeer(std::string peer) {
    std::string address = AddressOf(std::move(peer));
    std::lock_guard guard(lock_);
    peer_ = std::move(address);
}

std::string PeerLogLimit::Peer() const {
    std::lock_guard guard(lock_);
    return peer_;
}

void PeerLogLimit::ReportSuppressed() {
    const PinnedDebugFile log;
    if (log.get() != nullptr) {
        log->EndPeerConnection(Peer());
    }
}

ScopedPeerLogLimit::ScopedPeerLogLimit(PeerLogLimit* limit) : previous_(t_current_limit) {
    t_current_limit = limit;
}

ScopedPeerLogLimit::~ScopedPeerLogLimit() {
    t_current_limit = previous_;
}

PeerLogLimit* ScopedPeerLogLimit::Current() {
    return t_current_limit;
}

}  // namespace ruzd::foundation
