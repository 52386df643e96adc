// What strangers may write to a debug log, over many connections, many addresses and over
// time, on a clock of the test's own.

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

    void Add(const Tried& more) {
        admitted += more.admitted;
        summaries.insert(summaries.end(), more.summaries.begin(), more.summaries.end());
    }
    void Add(const std::vector<std::string>& more) {
        summaries.insert(summaries.end(), more.begin(), more.end());
    }
};

Tried Try(PeerLogLedger& ledger, const std::string& address, uint64_t now, uint32_t count) {
    Tried tried;
    for (uint32_t i = 0; i < count; ++i) {
        PeerLogLedger::Verdict verdict = ledger.Admit(address, now);
        tried.admitted += verdict.admitted ? 1 : 0;
        tried.Add(verdict.summaries);
    }
    return tried;
}

// The `index`th of many addresses, each of a network of its own: IPv4 /24s and IPv6 /64s in turn.
std::string AddressOfNetwork(uint32_t index) {
    if (index % 2 == 0) {
        const uint32_t n = index / 2;
        return std::to_string(11 + n / 65536) + "." + std::to_string((n / 256) % 256) + "." +
               std::to_string(n % 256) + ".7";
    }
    return "2001:db8:" + std::to_string(index / 2 / 10000) + ":" +
           std::to_string(index / 2 % 10000) + "::7";
}

TEST(PeerLogLedger, ManyConnectionsOfOneNetworkPayFromOneBudget) {
    PeerLogLedger ledger;
    uint64_t now = 1000;
    // A thousand connections of four lines each, one after another within a second, each from
    // another address of the same /24.
    static_assert(PeerLogLedger::kBurstLines % 4 == 0);
    Tried all;
    for (int connection = 0; connection < 1000; ++connection) {
        const std::string address = "10.0.9." + std::to_string(connection % 250 + 1);
        all.Add(Try(ledger, address, now, 4));
        all.Add(ledger.ConnectionEnded(address, now));
    }
    EXPECT_EQ(all.admitted, PeerLogLedger::kBurstLines);
    // The first connection that lost lines reports them as it ends; the rest wait a minute.
    EXPECT_THAT(all.summaries, ElementsAre("4 more lines from 10.0.9.0/24 suppressed"));

    // Another network has a budget of its own, which the flood of the first did not touch.
    EXPECT_EQ(Try(ledger, "10.0.8.1", now, PeerLogLedger::kBurstLines).admitted,
              PeerLogLedger::kBurstLines);

    // A minute on: the count of the minute in one line, before the next line let through.
    now += kMinute;
    const Tried later = Try(ledger, "10.0.9.1", now, 1);
    EXPECT_EQ(later.admitted, 1u);
    const uint32_t suppressed = 4000 - PeerLogLedger::kBurstLines - 4;
    EXPECT_THAT(later.summaries,
                ElementsAre(PeerLogLedger::SummaryText(suppressed, "10.0.9.0/24")));
}

TEST(PeerLogLedger, EveryLoopbackAddressIsOneSourceAndIpv6PaysPerSlash64) {
    PeerLogLedger ledger;
    // Any local account may bind any loopback address, of either family.
    Tried loopback = Try(ledger, "127.0.0.1", 0, PeerLogLedger::kBurstLines);
    loopback.Add(Try(ledger, "127.200.3.4", 0, 1));
    loopback.Add(Try(ledger, "::1", 0, 1));
    loopback.Add(Try(ledger, "::ffff:127.0.0.5", 0, 1));
    EXPECT_EQ(loopback.admitted, PeerLogLedger::kBurstLines);
    EXPECT_THAT(ledger.ConnectionEnded("127.0.0.9", 0),
                ElementsAre("3 more lines from loopback suppressed"));

    // One /64, however its addresses are written.
    Tried ipv6 = Try(ledger, "2001:db8:0:7::1", 0, PeerLogLedger::kBurstLines);
    ipv6.Add(Try(ledger, "2001:0DB8:0000:0007:ffff:1:2:3", 0, 1));
    ipv6.Add(Try(ledger, "[2001:db8:0:7::2]", 0, 1));
    EXPECT_EQ(ipv6.admitted, PeerLogLedger::kBurstLines);
    EXPECT_THAT(ledger.ConnectionEnded("2001:db8:0:7::3", 0),
                ElementsAre("2 more lines from 2001:db8:0:7::/64 suppressed"));
    // The next /64, and an IPv4-mapped address (its /24), have budgets of their own.
    EXPECT_EQ(Try(ledger, "2001:db8:0:8::1", 0, 1).admitted, 1u);
    Tried mapped = Try(ledger, "::ffff:10.1.2.3", 0, PeerLogLedger::kBurstLines);
    mapped.Add(Try(ledger, "10.1.2.200", 0, 1));
    EXPECT_EQ(mapped.admitted, PeerLogLedger::kBurstLines);
    EXPECT_THAT(ledger.ConnectionEnded("10.1.2.1", 0),
                ElementsAre("1 more lines from 10.1.2.0/24 suppressed"));
    // A text that is no address is a source of its own.
    EXPECT_EQ(Try(ledger, "no address", 0, 1).admitted, 1u);
    // Peers whose address is not known pay from one budget, named as such.
    Tried unknown = Try(ledger, "", 0, PeerLogLedger::kBurstLines);
    unknown.Add(Try(ledger, " ", 0, 2));
    EXPECT_EQ(unknown.admitted, PeerLogLedger::kBurstLines);
    EXPECT_THAT(ledger.ConnectionEnded("", 0),
                ElementsAre("2 more lines from peers of unknown address suppressed"));
}

TEST(PeerLogLedger, AFloodThatNeverEndsIsReportedOnceAMinute) {
    PeerLogLedger ledger;
    uint64_t now = 0;
    Tried all;
    // Ten lines a second for five minutes.
    for (int second = 0; second < 300; ++second, now += 1000) {
        all.Add(Try(ledger, "10.0.0.9", now, 10));
    }
    // The burst, then one line every few seconds.
    EXPECT_EQ(all.admitted, PeerLogLedger::kBurstLines + 299 * 1000 / PeerLogLedger::kLineEveryMs);
    // The first as soon as a line is let through again, then one a minute.
    EXPECT_EQ(all.summaries.size(), 5u);
    for (const std::string& summary : all.summaries) {
        EXPECT_THAT(summary,
                    ::testing::MatchesRegex("[0-9]+ more lines from 10.0.0.0/24 suppressed"));
    }
}

TEST(PeerLogLedger, TheLastCountOfAQuietSourceIsReportedWithOtherLines) {
    PeerLogLedger ledger;
    Try(ledger, "10.0.0.9", 0, PeerLogLedger::kBurstLines);
    EXPECT_THAT(ledger.ConnectionEnded("10.0.0.9", 0), IsEmpty());
    Try(ledger, "10.0.0.9", 10, 5);
    // It never comes back; a minute on, a line of another source brings its count out.
    const Tried other = Try(ledger, "10.0.7.7", 10 + kMinute, 1);
    EXPECT_EQ(other.admitted, 1u);
    EXPECT_THAT(other.summaries, ElementsAre("5 more lines from 10.0.0.0/24 suppressed"));
    // Reported once.
    EXPECT_THAT(ledger.ConnectionEnded("10.0.0.9", 20 + 2 * kMinute), IsEmpty());
}

// A stranger that floods and then goes quiet, with nobody else to send a line: its count comes
// out within a minute of its last refused line all the same, and whatever is left at the stop
// comes out then, so that every refused line is counted once.
TEST(PeerLogLedger, CountsComeOutWhenDueThoughNoLineComesAndAllAtTheStop) {
    PeerLogLedger ledger;
    // The burst and a first summary with the first line let through again.
    Tried all = Try(ledger, "127.0.0.1", 0, PeerLogLedger::kBurstLines + 100);
    all.Add(Try(ledger, "127.0.0.1", PeerLogLedger::kLineEveryMs, 1));
    EXPECT_THAT(all.summaries, ElementsAre("100 more lines from loopback suppressed"));
    // More refused lines, the last of them the refusal of a peer outside the central server's
    // addresses, then nothing.
    const uint64_t last = PeerLogLedger::kLineEveryMs + 10;
    all.Add(Try(ledger, "127.0.0.1", last, 49));
    all.Add(Try(ledger, "127.0.0.2", last, 1));
    ASSERT_EQ(all.summaries.size(), 1u) << "nothing due before a minute";
    std::vector<std::string> due;
    uint64_t now = last;
    for (; now <= last + kMinute + 1000 && due.empty(); now += 100) {
        due = ledger.Due(now);
    }
    EXPECT_THAT(due, ElementsAre("50 more lines from loopback suppressed"));
    EXPECT_LE(now - last, kMinute + 1100);
    EXPECT_THAT(ledger.Due(now + 3 * kMinute), IsEmpty()) << "reported once";

    // Many sources refused at the stop, long before their counts are due: all come out, the
    // minute's share named, the rest folded into one line.
    now += 4 * kMinute;
    uint64_t refused = 0;
    for (uint32_t index = 0; index < 3 * PeerLogLedger::kSummariesPerMinute; ++index) {
        const Tried tried =
            Try(ledger, AddressOfNetwork(index), now, PeerLogLedger::kBurstLines + 3);
        refused += PeerLogLedger::kBurstLines + 3 - tried.admitted;
        ASSERT_THAT(tried.summaries, IsEmpty());
    }
    ASSERT_GT(refused, 0u);
    const std::vector<std::string> stop = ledger.TakeAll(now + 1);
    ASSERT_EQ(stop.size(), PeerLogLedger::kSummariesPerMinute + 1);
    EXPECT_THAT(stop.back(), ::testing::MatchesRegex("[0-9]+ more lines from [0-9]+ other sources "
                                                     "suppressed"));
    uint64_t reported = 0;
    for (const std::string& line : stop) {
        reported += std::stoull(line);
    }
    EXPECT_EQ(reported, refused);
    EXPECT_THAT(ledger.TakeAll(now + 2), IsEmpty());
    EXPECT_THAT(ledger.Due(now + 10 * kMinute), IsEmpty());
}

TEST(PeerLogLedger, SourcesBeyondTheBoundForgetTheOldestAndReportItsCount) {
    PeerLogLedger ledger(3);
    Try(ledger, "10.0.1.1", 0, PeerLogLedger::kBurstLines + 4);
    Try(ledger, "10.0.2.1", 1, 1);
    Try(ledger, "10.0.3.1", 2, 1);
    // The second is used again, so the first is the oldest when a fourth comes.
    Try(ledger, "10.0.2.1", 3, 1);
    const Tried fourth = Try(ledger, "10.0.4.1", 4, 1);
    EXPECT_THAT(fourth.summaries, ElementsAre("4 more lines from 10.0.1.0/24 suppressed"));
    EXPECT_EQ(ledger.RememberedSources(), 3u);
    // Forgotten, it starts again with a burst.
    EXPECT_EQ(Try(ledger, "10.0.1.1", 5, 1).admitted, 1u);

    // Ever new sources never hold more than the bound.
    PeerLogLedger flooded;
    for (uint32_t i = 0; i < 3 * PeerLogLedger::kRememberedSources; ++i) {
        flooded.Admit(AddressOfNetwork(i), i);
    }
    EXPECT_EQ(flooded.RememberedSources(), PeerLogLedger::kRememberedSources);
}

TEST(PeerLogLedger, StrangersOfEverNewNetworksShareOneBoundedBudget) {
    PeerLogLedger ledger;
    uint64_t total_lines = 0;
    Tried all;
    // The first lines of a few strangers are written whole.
    for (const char* address : {"192.0.2.1", "198.51.100.1", "2001:db8:ffff:1::1"}) {
        const Tried first = Try(ledger, address, 0, 5);
        EXPECT_EQ(first.admitted, 5u) << address;
        all.Add(first);
        total_lines += 5;
    }

    // Then ten minutes of a new network every 40 ms, each sending 30 lines at once: more
    // sources than are remembered, so each comes with a fresh burst of its own.
    constexpr uint64_t kFloodMs = 10 * kMinute;
    constexpr uint64_t kEveryMs = 40;
    uint32_t index = 0;
    uint64_t now = 0;
    for (; now < kFloodMs; now += kEveryMs, ++index) {
        all.Add(Try(ledger, AddressOfNetwork(index), now, 30));
        total_lines += 30;
    }
    const uint64_t last = now - kEveryMs;
    // Whatever the number of sources: the shared burst, then one line a second.
    EXPECT_EQ(all.admitted,
              PeerLogLedger::kStrangersBurstLines + last / PeerLogLedger::kStrangersLineEveryMs);
    // So are the summaries: a few naming their source each minute, and one with the rest.
    const uint64_t minutes = kFloodMs / kMinute + 1;
    EXPECT_LE(all.summaries.size(), minutes * (PeerLogLedger::kSummariesPerMinute + 1));
    EXPECT_THAT(all.summaries, ::testing::Contains(::testing::MatchesRegex(
                                   "[0-9]+ more lines from [0-9]+ other sources suppressed")));

    // Once the flood is over and the shared budget has filled again, a new stranger's first
    // lines are written whole.
    now = last + PeerLogLedger::kStrangersBurstLines * PeerLogLedger::kStrangersLineEveryMs;
    for (const char* address : {"203.0.113.1", "2001:db8:eeee:1::1"}) {
        const Tried first = Try(ledger, address, now, 5);
        EXPECT_EQ(first.admitted, 5u) << address;
        all.Add(first);
        total_lines += 5;
    }

    // Every refused line is counted once, in one summary or another, once they are all due.
    all.Add(ledger.ConnectionEnded("203.0.113.1", now + kMinute));
    all.Add(ledger.ConnectionEnded("203.0.113.1", now + 2 * kMinute));
    uint64_t reported = 0;
    for (const std::string& line : all.summaries) {
        EXPECT_THAT(line, ::testing::MatchesRegex("[0-9]+ more lines from .* suppressed"));
        reported += std::stoull(line);
    }
    EXPECT_EQ(reported + all.admitted, total_lines);
}

}  // namespace
}  // namespace ruzd::foundation
