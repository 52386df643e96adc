#pragma once

// What a peer that is not the node's active central server may cost in debug log. Whatever a
// stranger sends, the lines it causes are paid for in the log's PeerLogLedger, from the budget
// of its address's network and from the one all strangers share: a few lines at once, then one
// line every few seconds, each cut short, and the rest counted and reported as one line "N more
// lines from <source> suppressed" at most once a minute. Without it, a flood of small frames (or
// of lines deflated a thousandfold, or of connections that each send one command, each from an
// address of its own) writes the disk full far faster than it arrives.
//
// A connection holds one limit naming its peer; while a thread handles that connection's bytes
// it puts the limit in place with ScopedPeerLogLimit, and the debug log asks the peer's budget
// before every line that thread ends.

#include <cstddef>
#include <mutex>
#include <string>

namespace ruzd::foundation {

class PeerLogLimit {
public:
    // The longest line (its header included) a limited peer gets written.
    static constexpr size_t kMaxLineBytes = 200;

    explicit PeerLogLimit(std::string peer = {}) { SetPeer(std::move(peer)); }
    PeerLogLimit(const PeerLogLimit&) = delete;
    PeerLogLimit& operator=(const PeerLogLimit&) = delete;

    // The peer's address ("10.1.2.3"); an "address:port" is taken too, and its port dropped:
    // every connection of an address pays from its network's budget.
    void SetPeer(std::string peer);
    // The address, as the ledger is asked for it.
    std::string Peer() const;

    // At the end of the connection: writes the summary of the refused lines of the address's
    // network, if one is due.
    void ReportSuppressed();

private:
    mutable std::mutex lock_;
    std::string peer_;
};

// The limit of the calling thread's lines while it lives (none: the lines are not limited);
// scopes nest.
class ScopedPeerLogLimit {
public:
    explicit ScopedPeerLogLimit(PeerLogLimit* limit);
    ~ScopedPeerLogLimit();
    ScopedPeerLogLimit(const ScopedPeerLogLimit&) = delete;
    ScopedPeerLogLimit& operator=(const ScopedPeerLogLimit&) = delete;

    // The limit in place on the calling thread, or none.
    static PeerLogLimit* Current();

private:
    PeerLogLimit* previous_;
};

}  // namespace ruzd::foundation
