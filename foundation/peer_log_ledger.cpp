#include "foundation/peer_log_ledger.h"

#include <algorithm>

namespace ruzd::foundation {

PeerLogLedger::PeerLogLedger(size_t max_addresses)
    : max_addresses_(std::max<size_t>(max_addresses, 1)) {}

PeerLogLedger::Verdict PeerLogLedger::Admit(const std::string& address, uint64_t now_ms) {
    std::lock_guard guard(lock_);
    Verdict verdict;
    Budget& budget = Find(address, now_ms, verdict.summaries);
    Refill(budget, now_ms);
    if (budget.tokens > 0) {
        --budget.tokens;
        verdict.admitted = true;
        if (DueWithLine(budget, now_ms)) {
            Summarise(budget, now_ms, verdict.summaries);
        }
    } else {
        if (budget.suppressed == 0) {
            budget.first_suppressed_ms = now_ms;
        }
        ++budget.suppressed;
    }
    SweepLocked(now_ms, verdict.summaries);
    return verdict;
}

std::vector<std::string> PeerLogLedger::ConnectionEnded(const std::string& address,
                                                        uint64_t now_ms) {
    std::lock_guard guard(lock_);
    std::vector<std::string> summaries;
    const auto found = by_address_.find(address);
    if (found != by_address_.end() && DueWithLine(*found->second, now_ms)) {
        Summarise(*found->second, now_ms, summaries);
    }
    SweepLocked(now_ms, summaries);
    return summaries;
}

size_t PeerLogLedger::RememberedAddresses() const {
    std::lock_guard guard(lock_);
    return by_address_.size();
}

std::string PeerLogLedger::SummaryText(uint64_t suppressed, const std::string& address) {
    return std::to_string(suppressed) + " more lines from " + address + " suppressed";
}

PeerLogLedger::Budget& PeerLogLedger::Find(const std::string& address, uint64_t now_ms,
                                           std::vector<std::string>& out) {
    const auto found = by_address_.find(address);
    if (found != by_address_.end()) {
        budgets_.splice(budgets_.begin(), budgets_, found->second);
        return budgets_.front();
    }
    if (by_address_.size() >= max_addresses_) {
        Budget& oldest = budgets_.back();
        if (oldest.suppressed > 0) {
            Summarise(oldest, now_ms, out);
        }
        by_address_.erase(oldest.address);
        budgets_.pop_back();
    }
    Budget fresh;
    fresh.address = address;
    fresh.last_refill_ms = now_ms;
    budgets_.push_front(std::move(fresh));
    by_address_.emplace(address, budgets_.begin());
    return budgets_.front();
}

void PeerLogLedger::Refill(Budget& budget, uint64_t now_ms) {
    if (now_ms <= budget.last_refill_ms) {
        return;
    }
    const uint64_t earned = (now_ms - budget.last_refill_ms) / kLineEveryMs;
    if (earned == 0) {
        return;
    }
    budget.tokens = static_cast<uint32_t>(std::min<uint64_t>(kBurstLines, budget.tokens + earned));
    budget.last_refill_ms += earned * kLineEveryMs;
}

bool PeerLogLedger::DueWithLine(const Budget& budget, uint64_t now_ms) {
    return budget.suppressed > 0 &&
           (!budget.summarised || now_ms - budget.last_summary_ms >= kSummaryEveryMs);
}

bool PeerLogLedger::DueWithoutLine(const Budget& budget, uint64_t now_ms) {
    const uint64_t since = budget.summarised
                               ? std::max(budget.last_summary_ms, budget.first_suppressed_ms)
                               : budget.first_suppressed_ms;
    return budget.suppressed > 0 && now_ms - since >= kSummaryEveryMs;
}

void PeerLogLedger::Summarise(Budget& budget, uint64_t now_ms, std::vector<std::string>& out) {
    out.push_back(SummaryText(budget.suppressed, budget.address));
    budget.suppressed = 0;
    budget.summarised = true;
    budget.last_summary_ms = now_ms;
}

void PeerLogLedger::SweepLocked(uint64_t now_ms, std::vector<std::string>& out) {
    if (now_ms < next_sweep_ms_) {
        return;
    }
    next_sweep_ms_ = now_ms + kSweepEveryMs;
    for (Budget& budget : budgets_) {
        if (DueWithoutLine(budget, now_ms)) {
            Summarise(budget, now_ms, out);
        }
    }
}

}  // namespace ruzd::foundation
