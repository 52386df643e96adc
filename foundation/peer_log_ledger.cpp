#include "foundation/peer_log_ledger.h"

#include <algorithm>

#include "foundation/peer_log_source.h"

namespace ruzd::foundation {

PeerLogLedger::PeerLogLedger(size_t max_sources)
    : max_sources_(std::max<size_t>(max_sources, 1)),
      strangers_lines_(kStrangersBurstLines, kStrangersLineEveryMs, 0) {}

PeerLogLedger::Verdict PeerLogLedger::Admit(const std::string& address, uint64_t now_ms) {
    std::lock_guard guard(lock_);
    Verdict verdict;
    Budget& budget = Find(PeerLogSource(address), now_ms, verdict.summaries);
    // The source first, so that a source that spent its own budget takes nothing from the
    // others'.
    if (budget.lines.HasLine(now_ms) && strangers_lines_.HasLine(now_ms)) {
        budget.lines.Take();
        strangers_lines_.Take();
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
    const auto found = by_source_.find(PeerLogSource(address));
    if (found != by_source_.end() && DueWithLine(*found->second, now_ms)) {
        Summarise(*found->second, now_ms, summaries);
    }
    SweepLocked(now_ms, summaries);
    return summaries;
}

std::vector<std::string> PeerLogLedger::Due(uint64_t now_ms) {
    std::lock_guard guard(lock_);
    std::vector<std::string> summaries;
    SweepLocked(now_ms, summaries);
    return summaries;
}

std::vector<std::string> PeerLogLedger::TakeAll(uint64_t now_ms) {
    std::lock_guard guard(lock_);
    std::vector<std::string> summaries;
    RenewSummaryMinute(now_ms, summaries);
    for (Budget& budget : budgets_) {
        if (budget.suppressed > 0) {
            Summarise(budget, now_ms, summaries);
        }
    }
    ReportFoldedLocked(summaries);
    return summaries;
}

size_t PeerLogLedger::RememberedSources() const {
    std::lock_guard guard(lock_);
    return by_source_.size();
}

std::string PeerLogLedger::SummaryText(uint64_t suppressed, const std::string& source) {
    return std::to_string(suppressed) + " more lines from " + source + " suppressed";
}

std::string PeerLogLedger::FoldedSummaryText(uint64_t suppressed, uint64_t sources) {
    return SummaryText(suppressed, std::to_string(sources) + " other sources");
}

PeerLogLedger::Budget& PeerLogLedger::Find(const std::string& source, uint64_t now_ms,
                                           std::vector<std::string>& out) {
    const auto found = by_source_.find(source);
    if (found != by_source_.end()) {
        budgets_.splice(budgets_.begin(), budgets_, found->second);
        return budgets_.front();
    }
    if (by_source_.size() >= max_sources_) {
        Budget& oldest = budgets_.back();
        if (oldest.suppressed > 0) {
            Summarise(oldest, now_ms, out);
        }
        by_source_.erase(oldest.source);
        budgets_.pop_back();
    }
    budgets_.emplace_front(source, now_ms);
    by_source_.emplace(source, budgets_.begin());
    return budgets_.front();
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
    RenewSummaryMinute(now_ms, out);
    if (summaries_in_minute_ == 0) {
        summary_minute_ms_ = now_ms;
    }
    if (summaries_in_minute_ < kSummariesPerMinute) {
        ++summaries_in_minute_;
        out.push_back(SummaryText(budget.suppressed, budget.source));
    } else {
        folded_lines_ += budget.suppressed;
        ++folded_sources_;
    }
    budget.suppressed = 0;
    budget.summarised = true;
    budget.last_summary_ms = now_ms;
}

void PeerLogLedger::RenewSummaryMinute(uint64_t now_ms, std::vector<std::string>& out) {
    if (summaries_in_minute_ == 0 || now_ms - summary_minute_ms_ < kSummaryEveryMs) {
        return;
    }
    ReportFoldedLocked(out);
    summaries_in_minute_ = 0;
}

void PeerLogLedger::ReportFoldedLocked(std::vector<std::string>& out) {
    if (folded_lines_ > 0) {
        out.push_back(FoldedSummaryText(folded_lines_, folded_sources_));
    }
    folded_lines_ = 0;
    folded_sources_ = 0;
}

void PeerLogLedger::SweepLocked(uint64_t now_ms, std::vector<std::string>& out) {
    if (now_ms < next_sweep_ms_) {
        return;
    }
    next_sweep_ms_ = now_ms + kSweepEveryMs;
    RenewSummaryMinute(now_ms, out);
    for (Budget& budget : budgets_) {
        if (DueWithoutLine(budget, now_ms)) {
            Summarise(budget, now_ms, out);
        }
    }
}

}  // namespace ruzd::foundation
