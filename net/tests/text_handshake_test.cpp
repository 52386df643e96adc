// The CNPROP exchange between a connecting and an accepting side, without sockets.

#include "net/text_handshake.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/text_line.h"

namespace ruzd::net {
namespace {

using namespace std::chrono_literals;

struct SentLine {
    std::string text;
    bool encrypted;
    bool compressed;
};

class FakeLink : public TextHandshake::Link {
public:
    FakeLink(bool configuredEncrypt, bool configuredCompress)
        : encrypt(configuredEncrypt), compress(configuredCompress) {}

    void SendLine(const std::string& line) override { sent.push_back({line, encrypt, compress}); }
    bool Encryption() const override { return encrypt; }
    bool Compression() const override { return compress; }
    void ApplySettings(bool e, bool c) override {
        encrypt = e;
        compress = c;
    }
    void OfferedSettings(bool& e, bool& c) override {
        e = offerEncrypt;
        c = offerCompress;
    }
    std::string OwnTimeText() override { return timeText; }
    std::optional<std::string> OwnStationName() override { return station; }
    std::string ClockSyncText() override { return "2026-12-08T07:55:27+03600"; }
    platform::WallTime Now() override { return now; }

    bool encrypt;
    bool compress;
    bool offerEncrypt = false;
    bool offerCompress = true;
    std::string timeText = "2026-12-08T08:05:10-01:00";
    std::optional<std::string> station;
    platform::WallTime now = std::chrono::sys_days(std::chrono::year(2026) / 12 / 8) + 8h + 5min;
    std::vector<SentLine> sent;
};

// Hands every line the sender sent since `from` to the receiver's CNPROP handler.
void Deliver(FakeLink& from, size_t& next, TextHandshake& to, FakeLink& toLink) {
    for (; next < from.sent.size(); ++next) {
        std::string line = from.sent[next].text;
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        std::string word, parameters;
        SplitCommandLine(line, word, parameters);
        if (word == "CNPROP") {
            to.OnCnprop(SplitParameters(parameters), toLink);
        }
    }
}

TEST(TextHandshake, FullExchangeSettlesTheAcceptingSidesOffer) {
    FakeLink connectingLink(false, false);
    FakeLink acceptingLink(false, false);
    connectingLink.station = "\\CENTRAL";
    acceptingLink.station = "\\NODE";
    // As between the central server and the file socket: the connecting side sends its clock.
    TextHandshake connecting(false);
    TextHandshake accepting(false);

    connecting.BeginConnecting(connectingLink);
    accepting.BeginAccepting(acceptingLink);
    ASSERT_EQ(connectingLink.sent.size(), 1u);
    EXPECT_EQ(connectingLink.sent[0].text, "CNPROP 2026-12-08T08:05:10-01:00 \\CENTRAL\r");
    EXPECT_TRUE(connectingLink.sent[0].encrypted);
    EXPECT_FALSE(connectingLink.sent[0].compressed);

    size_t toAccepting = 0, toConnecting = 0;
    Deliver(connectingLink, toAccepting, accepting, acceptingLink);
    EXPECT_EQ(accepting.State(), kHandshakePeerSeen);
    EXPECT_EQ(accepting.PeerStation(), "\\CENTRAL");
    ASSERT_EQ(acceptingLink.sent.size(), 1u);
    // The reply still goes encrypted and uncompressed, then the offer is in force.
    EXPECT_EQ(acceptingLink.sent[0].text, "CNPROP 2026-12-08T08:05:10-01:00 0 1 \\NODE\r");
    EXPECT_TRUE(acceptingLink.sent[0].encrypted);
    EXPECT_FALSE(acceptingLink.sent[0].compressed);
    EXPECT_FALSE(acceptingLink.encrypt);
    EXPECT_TRUE(acceptingLink.compress);

    Deliver(acceptingLink, toConnecting, connecting, connectingLink);
    EXPECT_EQ(connecting.State(), kHandshakeDone);
    EXPECT_EQ(connecting.PeerStation(), "\\NODE");
    ASSERT_EQ(connectingLink.sent.size(), 3u);
    // The acknowledgement already compressed and unencrypted, then the clock.
    EXPECT_EQ(connectingLink.sent[1].text, "CNPROP\r");
    EXPECT_FALSE(connectingLink.sent[1].encrypted);
    EXPECT_TRUE(connectingLink.sent[1].compressed);
    EXPECT_EQ(connectingLink.sent[2].text, "TTSYNC 2026-12-08T07:55:27+03600\r");

    Deliver(connectingLink, toAccepting, accepting, acceptingLink);
    EXPECT_EQ(accepting.State(), kHandshakeDone);
    EXPECT_EQ(acceptingLink.sent.size(), 1u);
    EXPECT_TRUE(connecting.Finish(connectingLink));
    EXPECT_TRUE(accepting.Finish(acceptingLink));
    EXPECT_TRUE(acceptingLink.compress);
}

TEST(TextHandshake, ShortFormsWithoutStationNames) {
    FakeLink connectingLink(false, false);
    FakeLink acceptingLink(false, false);
    acceptingLink.station = "\\NODE";
    TextHandshake connecting(true);
    TextHandshake accepting(true);
    connecting.BeginConnecting(connectingLink);
    accepting.BeginAccepting(acceptingLink);
    EXPECT_EQ(connectingLink.sent[0].text, "CNPROP 2026-12-08T08:05:10-01:00\r");
    size_t toAccepting = 0, toConnecting = 0;
    Deliver(connectingLink, toAccepting, accepting, acceptingLink);
    // A peer without a station name gets the short reply even from a side that has one.
    EXPECT_EQ(acceptingLink.sent[0].text, "CNPROP 2026-12-08T08:05:10-01:00 0 1\r");
    Deliver(acceptingLink, toConnecting, connecting, connectingLink);
    EXPECT_EQ(connecting.PeerStation(), "");
    // The accepting side is the time source here: the connecting side sends no clock.
    ASSERT_EQ(connectingLink.sent.size(), 2u);
    Deliver(connectingLink, toAccepting, accepting, acceptingLink);
    ASSERT_EQ(acceptingLink.sent.size(), 2u);
    EXPECT_EQ(acceptingLink.sent[1].text, "TTSYNC 2026-12-08T07:55:27+03600\r");
}

TEST(TextHandshake, SilentPeerFailsAndTheConfiguredSettingsComeBack) {
    FakeLink link(false, true);
    TextHandshake accepting(false);
    accepting.BeginAccepting(link);
    EXPECT_TRUE(link.encrypt);
    EXPECT_FALSE(link.compress);
    EXPECT_FALSE(accepting.Finish(link));
    EXPECT_EQ(accepting.State(), kHandshakeFailed);
    EXPECT_FALSE(link.encrypt);
    EXPECT_TRUE(link.compress);
    // A late acknowledgement does not turn a failed exchange into a done one.
    accepting.OnCnprop({}, link);
    EXPECT_EQ(accepting.State(), kHandshakeFailed);
}

TEST(TextHandshake, ConnectingSideIgnoresAShortReply) {
    FakeLink link(false, false);
    TextHandshake connecting(true);
    connecting.BeginConnecting(link);
    connecting.OnCnprop({"2026-12-08T08:05:10-01:00", "1"}, link);
    EXPECT_EQ(connecting.State(), kHandshakeRunning);
    EXPECT_EQ(link.sent.size(), 1u);
}

TEST(TextHandshake, PeerTimeIsRecordedAgainstOwnClock) {
    FakeLink link(false, false);
    TextHandshake accepting(false);
    accepting.BeginAccepting(link);
    accepting.OnCnprop({"2026-12-08T08:05:40+02:30"}, link);
    EXPECT_EQ(accepting.PeerClock().differenceSeconds, 40);
    EXPECT_EQ(accepting.PeerClock().utcMinusLocalMinutes, 150);
}

}  // namespace
}  // namespace ruzd::net
