#include "foundation/peer_log_limit.h"

#include <algorithm>

#include "foundation/trace.h"

namespace ruzd::foundation {
namespace {

thread_local PeerLogLimit* t_current_limit = nullptr;

}  // namespace

void PeerLogLimit::SetPeer(std::string peer) {
    std::lock_guard guard(lock_);
    peer_ = std::move(peer);
}

std::string PeerLogLimit::Peer() const {
    std::lock_guard guard(lock_);
    return peer_;
}

PeerLogLimit::Verdict PeerLogLimit::Admit(uint64_t now_ms) {
    std::lock_guard guard(lock_);
    if (!started_) {
        started_ = true;
        last_refill_ms_ = now_ms;
    } else if (now_ms > last_refill_ms_) {
        const uint64_t earned = (now_ms - last_refill_ms_) / kLineEveryMs;
        if (earned > 0) {
            tokens_ = static_cast<uint32_t>(
                std::min<uint64_t>(kBurstLines, tokens_ + std::min<uint64_t>(earned, kBurstLines)));
            last_refill_ms_ += earned * kLineEveryMs;
        }
    }
    Verdict verdict;
    if (tokens_ == 0) {
        ++suppressed_;
        return verdict;
    }
    --tokens_;
    verdict.admitted = true;
    verdict.suppressed = suppressed_;
    suppressed_ = 0;
    return verdict;
}

uint64_t PeerLogLimit::TakeSuppressed() {
    std::lock_guard guard(lock_);
    const uint64_t suppressed = suppressed_;
    suppressed_ = 0;
    return suppressed;
}

std::string PeerLogLimit::SummaryText(uint64_t suppressed, const std::string& peer) {
    return std::to_string(suppressed) + " more lines from " + peer + " suppressed";
}

void PeerLogLimit::ReportSuppressed() {
    const uint64_t suppressed = TakeSuppressed();
    if (suppressed == 0) {
        return;
    }
    // Written as the node's own line, outside any peer's limit.
    ScopedPeerLogLimit unlimited(nullptr);
    Trace(kTraceSocket, 0, "%s", SummaryText(suppressed, Peer()).c_str());
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
