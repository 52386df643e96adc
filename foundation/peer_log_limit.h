#pragma once

// What a peer that is not the node's active central server may cost in debug log. Whatever a
// stranger sends, the lines it causes are its own to pay for: a few lines at once, then one
// line every few seconds, each cut short, and the rest counted and reported as one line
// "N more lines from <addr> suppressed" when lines are written again or the connection ends.
// Without it, a flood of small frames (or of lines deflated a thousandfold) writes the disk
// full far faster than it arrives.
//
// A connection holds one limit; while a thread handles that connection's bytes it puts the
// limit in place with ScopedPeerLogLimit, and the debug log asks it before every line that
// thread ends.

#include <cstdint>
#include <mutex>
#include <string>

namespace ruzd::foundation {

class PeerLogLimit {
public:
    static constexpr uint32_t kBurstLines = 10;
    static constexpr uint64_t kLineEveryMs = 5000;
    // The longest line (its header included) a limited peer gets written.
    static constexpr size_t kMaxLineBytes = 200;

    struct Verdict {
        bool admitted = false;
        // Lines refused since the last admitted one, to be reported before it.
        uint64_t suppressed = 0;
    };

    explicit PeerLogLimit(std::string peer = {}) : peer_(std::move(peer)) {}
    PeerLogLimit(const PeerLogLimit&) = delete;
    PeerLogLimit& operator=(const PeerLogLimit&) = delete;

    // The peer's address as the summary line names it.
    void SetPeer(std::string peer);
    std::string Peer() const;

    // Whether one more line may be written at `now_ms` (a millisecond tick).
    Verdict Admit(uint64_t now_ms);
    // The lines refused and not reported yet; they count as reported from now on.
    uint64_t TakeSuppressed();

    // "N more lines from <addr> suppressed".
    static std::string SummaryText(uint64_t suppressed, const std::string& peer);

    // Writes the summary of the lines refused since the last admitted one, if any (at the end
    // of the connection).
    void ReportSuppressed();

private:
    mutable std::mutex lock_;
    std::string peer_;
    uint32_t tokens_ = kBurstLines;
    uint64_t last_refill_ms_ = 0;
    bool started_ = false;
    uint64_t suppressed_ = 0;
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
