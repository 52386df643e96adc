#pragma once

// What strangers may still write to one debug log. A stranger's lines are paid for twice: from
// the budget of its source (see PeerLogSource: loopback, an IPv4 /24 or an IPv6 /64) and from
// one budget that all strangers share. Neither is a connection's: a peer that opens a new
// connection for every line (connect, one command, close), or a new address for it, pays from
// the same budgets as one that floods a single connection. A source gets a burst of lines, then
// one every few seconds; all strangers together get a larger burst, then one line a second, so
// that the lines written for strangers stay bounded however many sources they use. A line
// refused by its source takes nothing from the shared budget: a single flooding source leaves
// the first lines of the others to be written.
//
// The lines refused are counted per source and reported as "N more lines from <source>
// suppressed", at most once a minute for each source; these summaries are bounded too: past a
// few in a minute, the counts are added up into one line "N more lines from M other sources
// suppressed" once a minute. A count is reported when due whether or not the stranger, or any
// other, sends another line: the log asks for the summaries due every second (Due), and for
// every count left at its stop (TakeAll), so that none is lost.
//
// The ledger remembers a bounded number of sources: the one used least recently is forgotten
// (its count reported) to make room, so that lines from ever new sources cannot grow it without
// end. A forgotten source starts again with a fresh burst, which the shared budget still pays.

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/log_line_bucket.h"

namespace ruzd::foundation {

class PeerLogLedger {
public:
    // A source's first connections (a central server's own among them, until it is the
    // active one) are logged whole.
    static constexpr uint32_t kBurstLines = 20;
    static constexpr uint64_t kLineEveryMs = 5000;
    // All strangers together.
    static constexpr uint32_t kStrangersBurstLines = 100;
    static constexpr uint64_t kStrangersLineEveryMs = 1000;
    static constexpr uint64_t kSummaryEveryMs = 60000;
    // Summary lines naming their source, over all sources, in a minute.
    static constexpr uint32_t kSummariesPerMinute = 10;
    static constexpr size_t kRememberedSources = 4096;

    struct Verdict {
        bool admitted = false;
        // Summary lines due now, to be written (as the node's own) before the line if it is
        // admitted, or instead of it.
        std::vector<std::string> summaries;
    };

    explicit PeerLogLedger(size_t max_sources = kRememberedSources);
    PeerLogLedger(const PeerLogLedger&) = delete;
    PeerLogLedger& operator=(const PeerLogLedger&) = delete;

    // Whether one more line of a stranger at `address` may be written at `now_ms` (a
    // millisecond tick that never goes back).
    Verdict Admit(const std::string& address, uint64_t now_ms);
    // A connection of `address` ended: the summary lines due now.
    std::vector<std::string> ConnectionEnded(const std::string& address, uint64_t now_ms);
    // The summary lines due at `now_ms` though no line comes: the counts of sources that went
    // quiet a minute ago, and the last minute's folded count.
    std::vector<std::string> Due(uint64_t now_ms);
    // Every count not reported yet, due or not, at the log's stop: in lines naming their
    // source while the minute has room for them, the rest in one folded line.
    std::vector<std::string> TakeAll(uint64_t now_ms);

    // The sources remembered now.
    size_t RememberedSources() const;

    // "N more lines from <source> suppressed".
    static std::string SummaryText(uint64_t suppressed, const std::string& source);
    // "N more lines from M other sources suppressed".
    static std::string FoldedSummaryText(uint64_t suppressed, uint64_t sources);

private:
    struct Budget {
        Budget(std::string name, uint64_t now_ms)
            : source(std::move(name)), lines(kBurstLines, kLineEveryMs, now_ms) {}

        std::string source;
        LogLineBucket lines;
        // Refused and not reported yet, since `first_suppressed_ms`.
        uint64_t suppressed = 0;
        uint64_t first_suppressed_ms = 0;
        bool summarised = false;
        uint64_t last_summary_ms = 0;
    };
    using Budgets = std::list<Budget>;

    // The source's budget, made the most recently used; a new one when it was not known.
    Budget& Find(const std::string& source, uint64_t now_ms, std::vector<std::string>& out);
    // A summary may go with a line written or a connection's end: the first at once, then
    // once a minute.
    static bool DueWithLine(const Budget& budget, uint64_t now_ms);
    // While every line is refused: a minute after the first refused one, then once a minute.
    static bool DueWithoutLine(const Budget& budget, uint64_t now_ms);
    // Reports the budget's count: in a line of its own while the minute has room for one,
    // else added to the minute's folded count.
    void Summarise(Budget& budget, uint64_t now_ms, std::vector<std::string>& out);
    // A minute after the first summary of the last one: the folded count, and room for more.
    void RenewSummaryMinute(uint64_t now_ms, std::vector<std::string>& out);
    // Reports the counts of sources that have gone quiet, looking at most once a second.
    void SweepLocked(uint64_t now_ms, std::vector<std::string>& out);
    // The folded count, reported now whatever the minute.
    void ReportFoldedLocked(std::vector<std::string>& out);

    static constexpr uint64_t kSweepEveryMs = 1000;

    const size_t max_sources_;
    mutable std::mutex lock_;
    Budgets budgets_;  // the most recently used first
    std::unordered_map<std::string, Budgets::iterator> by_source_;
    LogLineBucket strangers_lines_;
    uint64_t next_sweep_ms_ = 0;
    // The summaries of the current minute: those written, and the counts folded.
    uint64_t summary_minute_ms_ = 0;
    uint32_t summaries_in_minute_ = 0;
    uint64_t folded_lines_ = 0;
    uint64_t folded_sources_ = 0;
};

}  // namespace ruzd::foundation
