// What strangers' addresses may write to a debug log, over many connections and over time, on
// a clock of the test's own.

#include "foundation/peer_log_ledger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint64_t kMinute = PeerLogLedger::kSummaryEveryMs;

// Lines of `address` at `now`, as many as `count`: how many were admitted, and every summary.
struct Tried {
    uint32_t admitted = 0;
    std::vector<std::string> summaries;
};

Tried Try(PeerLogLedger& ledger, const std::string& address, uint64_t now, uint32_t count) {
    Tried tried;
    for (uint32_t i = 0; i < count; ++i) {
        PeerLogLedger::Verdict verdict = ledger.Admit(address, now);
        tried.admitted += verdict.admitted ? 1 : 0;
        tried.summaries.insert(tried.summaries.end(), verdict.summaries.begin(),
                               verdict.summaries.end());
    }
    return tried;
}

TEST(PeerLogLedger, ManyConnectionsOfOneAddressPayFromOneBudget) {
    PeerLogLedger ledger;
    uint64_t now = 1000;
    // A thousand connections of four lines each, one after another within a second.
    static_assert(PeerLogLedger::kBurstLines % 4 == 0);
    uint32_t admitted = 0;
    std::vector<std::string> summaries;
    for (int connection = 0; connection < 1000; ++connection) {
        const Tried tried = Try(ledger, "10.0.0.9", now, 4);
        admitted += tried.admitted;
        const std::vector<std::string> ended = ledger.ConnectionEnded("10.0.0.9", now);
        summaries.insert(summaries.end(), tried.summaries.begin(), tried.summaries.end());
        summaries.insert(summaries.end(), ended.begin(), ended.end());
    }
    EXPECT_EQ(admitted, PeerLogLedger::kBurstLines);
    // The first connection that lost lines reports them as it ends; the rest wait a minute.
    EXPECT_THAT(summaries, ElementsAre("4 more lines from 10.0.0.9 suppressed"));

    // Another address has a budget of its own.
    EXPECT_EQ(Try(ledger, "10.0.0.8", now, 1).admitted, 1u);

    // A minute on: the count of the minute in one line, before the next line let through.
    now += kMinute;
    const Tried later = Try(ledger, "10.0.0.9", now, 1);
    EXPECT_EQ(later.admitted, 1u);
    const uint32_t suppressed = 4000 - PeerLogLedger::kBurstLines - 4;
    EXPECT_THAT(later.summaries, ElementsAre(PeerLogLedger::SummaryText(suppressed, "10.0.0.9")));
}

TEST(PeerLogLedger, AFloodThatNeverEndsIsReportedOnceAMinute) {
    PeerLogLedger ledger;
    uint64_t now = 0;
    std::vector<std::string> summaries;
    uint32_t admitted = 0;
    // Ten lines a second for five minutes.
    for (int second = 0; second < 300; ++second, now += 1000) {
        const Tried tried = Try(ledger, "10.0.0.9", now, 10);
        admitted += tried.admitted;
        summaries.insert(summaries.end(), tried.summaries.begin(), tried.summaries.end());
    }
    // The burst, then one line every few seconds.
    EXPECT_EQ(admitted, PeerLogLedger::kBurstLines + 299 * 1000 / PeerLogLedger::kLineEveryMs);
    // The first as soon as a line is let through again, then one a minute.
    EXPECT_EQ(summaries.size(), 5u);
    for (const std::string& summary : summaries) {
        EXPECT_THAT(summary, ::testing::MatchesRegex("[0-9]+ more lines from 10.0.0.9 suppressed"));
    }
}

TEST(PeerLogLedger, TheLastCountOfAQuietAddressIsReportedWithOtherLines) {
    PeerLogLedger ledger;
    Try(ledger, "10.0.0.9", 0, PeerLogLedger::kBurstLines);
    EXPECT_THAT(ledger.ConnectionEnded("10.0.0.9", 0), IsEmpty());
    Try(ledger, "10.0.0.9", 10, 5);
    // It never comes back; a minute on, a line of another address brings its count out.
    const Tried other = Try(ledger, "10.0.0.7", 10 + kMinute, 1);
    EXPECT_EQ(other.admitted, 1u);
    EXPECT_THAT(other.summaries, ElementsAre("5 more lines from 10.0.0.9 suppressed"));
    // Reported once.
    EXPECT_THAT(ledger.ConnectionEnded("10.0.0.9", 20 + 2 * kMinute), IsEmpty());
}

TEST(PeerLogLedger, AddressesBeyondTheBoundForgetTheOldestAndReportItsCount) {
    PeerLogLedger ledger(3);
    Try(ledger, "10.0.0.1", 0, PeerLogLedger::kBurstLines + 4);
    Try(ledger, "10.0.0.2", 1, 1);
    Try(ledger, "10.0.0.3", 2, 1);
    // The second is used again, so the first is the oldest when a fourth comes.
    Try(ledger, "10.0.0.2", 3, 1);
    const Tried fourth = Try(ledger, "10.0.0.4", 4, 1);
    EXPECT_THAT(fourth.summaries, ElementsAre("4 more lines from 10.0.0.1 suppressed"));
    EXPECT_EQ(ledger.RememberedAddresses(), 3u);
    // Forgotten, it starts again with a burst.
    EXPECT_EQ(Try(ledger, "10.0.0.1", 5, 1).admitted, 1u);

    // Ever new addresses never hold more than the bound.
    PeerLogLedger flooded;
    for (uint32_t i = 0; i < 3 * PeerLogLedger::kRememberedAddresses; ++i) {
        flooded.Admit("10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." +
                          std::to_string(i & 255),
                      i);
    }
    EXPECT_EQ(flooded.RememberedAddresses(), PeerLogLedger::kRememberedAddresses);
}

}  // namespace
}  // namespace ruzd::foundation
