#pragma once

// What each stranger's address may still write to one debug log. The budget is the address's,
// not a connection's: a peer that opens a new connection for every line (connect, one command,
// close) pays from the same budget as one that floods a single connection. An address gets a
// burst of lines, then one line every few seconds; the lines refused are counted and reported
// as one line "N more lines from <addr> suppressed", at most once a minute for each address.
//
// The ledger remembers a bounded number of addresses: the one used least recently is forgotten
// (its count reported) to make room, so that lines from ever new addresses cannot grow it
// without end. A forgotten address starts again with a fresh burst, which is all it gains.

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace ruzd::foundation {

class PeerLogLedger {
public:
    // An address's first connections (a central server's own among them, until it is the
    // active one) are logged whole.
    static constexpr uint32_t kBurstLines = 20;
    static constexpr uint64_t kLineEveryMs = 5000;
    static constexpr uint64_t kSummaryEveryMs = 60000;
    static constexpr size_t kRememberedAddresses = 4096;

    struct Verdict {
        bool admitted = false;
        // Summary lines due now, to be written (as the node's own) before the line if it is
        // admitted, or instead of it.
        std::vector<std::string> summaries;
    };

    explicit PeerLogLedger(size_t max_addresses = kRememberedAddresses);
    PeerLogLedger(const PeerLogLedger&) = delete;
    PeerLogLedger& operator=(const PeerLogLedger&) = delete;

    // Whether one more line of `address` may be written at `now_ms` (a millisecond tick that
    // never goes back).
    Verdict Admit(const std::string& address, uint64_t now_ms);
    // A connection of `address` ended: the summary lines due now.
    std::vector<std::string> ConnectionEnded(const std::string& address, uint64_t now_ms);

    // The addresses remembered now.
    size_t RememberedAddresses() const;

    // "N more lines from <addr> suppressed".
    static std::string SummaryText(uint64_t suppressed, const std::string& address);

private:
    struct Budget {
        std::string address;
        uint32_t tokens = kBurstLines;
        uint64_t last_refill_ms = 0;
        // Refused and not reported yet, since `first_suppressed_ms`.
        uint64_t suppressed = 0;
        uint64_t first_suppressed_ms = 0;
        bool summarised = false;
        uint64_t last_summary_ms = 0;
    };
    using Budgets = std::list<Budget>;

    // The address's budget, made the most recently used; a new one when it was not known.
    Budget& Find(const std::string& address, uint64_t now_ms, std::vector<std::string>& out);
    static void Refill(Budget& budget, uint64_t now_ms);
    // A summary may go with a line written or a connection's end: the first at once, then
    // once a minute.
    static bool DueWithLine(const Budget& budget, uint64_t now_ms);
    // While every line is refused: a minute after the first refused one, then once a minute.
    static bool DueWithoutLine(const Budget& budget, uint64_t now_ms);
    static void Summarise(Budget& budget, uint64_t now_ms, std::vector<std::string>& out);
    // Reports the counts of addresses that have gone quiet, looking at most once a second.
    void SweepLocked(uint64_t now_ms, std::vector<std::string>& out);

    static constexpr uint64_t kSweepEveryMs = 1000;

    const size_t max_addresses_;
    mutable std::mutex lock_;
    Budgets budgets_;  // the most recently used first
    std::unordered_map<std::string, Budgets::iterator> by_address_;
    uint64_t next_sweep_ms_ = 0;
};

}  // namespace ruzd::foundation
