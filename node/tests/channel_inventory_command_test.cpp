// The channel inventory command on the simulated boards: which boards it opens for a moment
// (the simulator's journal), and the boards with their channel ranges it answers on the command
// connection, byte for byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "node/tests/isdn_node_fixture.h"
#include "telephony/intel_board.h"
#include "telephony/intel_boards.h"

namespace ruzd::node {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::MessagePayload;
using ::testing::Not;
using testing::Payload;

constexpr int32_t kCFAUTO = 158;

using Range = std::array<int32_t, 3>;  // board, first channel, last channel

Payload InventoryReply(int32_t kind, const std::vector<Range>& boards) {
    return MessagePayload(35, [&](net::COutputStreamSocket& w) {
        w.WriteInt(kind).WriteInt(static_cast<int32_t>(boards.size()));
        for (const Range& board : boards) {
            w.WriteInt(board[0]).WriteInt(board[1]).WriteInt(board[2]);
        }
    });
}

class ChannelInventoryTest : public testing::IsdnNodeTest {
protected:
    // The replies of one inventory request.
    std::vector<Payload> Inventory(int32_t kind, int32_t maximum) {
        journal_mark_ = Journal().size();
        peer_->SendInts(kCFAUTO, 60, {kind, maximum});
        Sync();
        return Replies();
    }

    // The vendor calls of the last request, as "<function>(<arguments>) = <result>".
    std::vector<std::string> CallsOfRequest() const {
        std::vector<std::string> calls = Journal();
        calls.erase(calls.begin(), calls.begin() + static_cast<long>(journal_mark_));
        return calls;
    }

    // Those of the calls that name `text`.
    std::vector<std::string> CallsNaming(const std::string& text) const {
        std::vector<std::string> calls;
        for (const std::string& call : CallsOfRequest()) {
            if (call.find(text) != std::string::npos) {
                calls.push_back(call);
            }
        }
        return calls;
    }

    // Every device the request opened was closed again: the simulator holds none open that it
    // did not hold before.
    void ExpectNothingLeftOpen(const std::string& devicePrefix) {
        const std::string devices = Control("query devices");
        EXPECT_THAT(devices, Not(HasSubstr(devicePrefix))) << devices;
    }

private:
    std::vector<std::string> Journal() const {
        std::vector<std::string> calls;
        std::ifstream in(JournalPath());
        for (std::string line; std::getline(in, line);) {
            const std::string entry = line.substr(line.find(' ') + 1);
            calls.push_back(entry.substr(entry.find(' ') + 1));
        }
        return calls;
    }

    size_t journal_mark_ = 0;
};

// --- Voice boards ---

class VoiceInventoryTest : public ChannelInventoryTest {
protected:
    std::string Boards() const override { return "voice 3 8\nnetwork 1 30\nip 0 0\n"; }
};

TEST_F(VoiceInventoryTest, TheCommandIsRegistered) {
    EXPECT_TRUE(manager_->HasCommandHandler(kCFAUTO));
}

TEST_F(VoiceInventoryTest, TheMaximumCutsTheLastBoardShortAndNoFurtherBoardIsOpened) {
    EXPECT_THAT(Inventory(0, 10), ElementsAre(InventoryReply(0, {{1, 1, 8}, {2, 9, 10}})));

    const std::vector<std::string> voice = CallsNaming("dx");
    ASSERT_EQ(voice.size(), 10u);
    EXPECT_THAT(voice[0], HasSubstr("dx_open(\"dxxxB1\", 0)"));
    EXPECT_THAT(voice[1], HasSubstr("dx_close("));
    EXPECT_THAT(voice[2], HasSubstr("dx_open(\"dxxxB1C1\", 0)"));
    EXPECT_THAT(voice[3], AllOf(HasSubstr("dx_getfeaturelist("), EndsWith(" = 0")));
    EXPECT_THAT(voice[4], HasSubstr("dx_close("));
    EXPECT_THAT(voice[5], HasSubstr("dx_open(\"dxxxB2\", 0)"));
    EXPECT_THAT(CallsNaming("dxxxB3"), IsEmpty());
    EXPECT_EQ(CallsNaming("ATDV_SUBDEVS(").size(), 2u);
    ExpectNothingLeftOpen("dxxx");
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("SocketCmdCFAUTO")));
}

TEST_F(VoiceInventoryTest, ChannelsRunOnAcrossAllBoardsUnderALargeMaximum) {
    EXPECT_THAT(Inventory(0, 100),
                ElementsAre(InventoryReply(0, {{1, 1, 8}, {2, 9, 16}, {3, 17, 24}})));
    // The boards counted are done: no fourth is looked for.
    EXPECT_THAT(CallsNaming("dxxxB4"), IsEmpty());
}

TEST_F(VoiceInventoryTest, ABoardWhoseFirstChannelHasNoFeatureListIsSkipped) {
    ASSERT_EQ(Control("fail dx_getfeaturelist -1 1"), "OK");
    EXPECT_THAT(Inventory(0, 100), ElementsAre(InventoryReply(0, {{2, 1, 8}, {3, 9, 16}})));
    ExpectNothingLeftOpen("dxxx");
}

class VoiceFeatureInventoryTest : public ChannelInventoryTest {
protected:
    // Board 1 cannot record, board 2 is of the excluded configuration, board 3 cannot play.
    std::string Boards() const override {
        return "voice 5 4\nnetwork 1 30\nip 0 0\n"
               "features 0x1f 0 0x7 0 1\n"
               "features 0x1f 0x1f 0x7 0x200 2\n"
               "features 0 0x1f 0x7 0 3\n"
               "features 0x3 0x5 0 0x201 5\n";
    }
};

TEST_F(VoiceFeatureInventoryTest, BoardsFailingTheFeatureTestAreSkippedAndNumberingGoesOn) {
    EXPECT_THAT(Inventory(0, 100), ElementsAre(InventoryReply(0, {{4, 1, 4}, {5, 5, 8}})));
    // Every board was looked at, and the skipped ones closed again.
    EXPECT_EQ(CallsNaming("dx_getfeaturelist(").size(), 5u);
    ExpectNothingLeftOpen("dxxx");
}

class NoVoiceBoardInventoryTest : public ChannelInventoryTest {
protected:
    std::string Boards() const override { return "voice 0 0\nnetwork 1 30\nip 0 0\n"; }
};

TEST_F(NoVoiceBoardInventoryTest, BoardOneIsTriedEvenWhenNoneIsCounted) {
    EXPECT_THAT(Inventory(0, 10), ElementsAre(InventoryReply(0, {})));
    EXPECT_THAT(CallsNaming("dx_open("),
                ElementsAre("dx_open(\"dxxxB1\", 0) = -1", "dx_open(\"dxxxB1C1\", 0) = -1"));
    // Nothing that did not open is counted or closed.
    EXPECT_THAT(CallsNaming("ATDV_SUBDEVS("), IsEmpty());
    EXPECT_THAT(CallsNaming("dx_close("), IsEmpty());
}

// --- Network interface and station boards without Global Call ---

class NetworkInventoryTest : public ChannelInventoryTest {
protected:
    std::string Boards() const override { return "voice 1 4\nnetwork 2 30\nstation 2 8\nip 0 0\n"; }
};

TEST_F(NetworkInventoryTest, NetworkBoardsAreCountedThroughTheNetworkLibrary) {
    ASSERT_FALSE(manager_->Hardware()->IsGlobalCallInitialised());
    EXPECT_THAT(Inventory(1, 40), ElementsAre(InventoryReply(1, {{1, 1, 30}, {2, 31, 40}})));
    const std::vector<std::string> opens = CallsNaming("dt_open(");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_THAT(opens[0], HasSubstr("dt_open(\"dtiB1\", 0)"));
    EXPECT_THAT(opens[1], HasSubstr("dt_open(\"dtiB2\", 0)"));
    EXPECT_EQ(CallsNaming("dt_close(").size(), 2u);
    EXPECT_THAT(CallsNaming("gc_Open("), IsEmpty());
}

TEST_F(NetworkInventoryTest, ABoardWithoutChannelsIsLeftOut) {
    ASSERT_EQ(Control("fail ATDV_SUBDEVS 0 1"), "OK");
    EXPECT_THAT(Inventory(1, 100), ElementsAre(InventoryReply(1, {{2, 1, 30}})));
}

TEST_F(NetworkInventoryTest, ABoardThatFailsToOpenIsLeftOutAndNotClosed) {
    ASSERT_EQ(Control("fail dt_open -1 1"), "OK");
    EXPECT_THAT(Inventory(1, 100), ElementsAre(InventoryReply(1, {{2, 1, 30}})));
    EXPECT_EQ(CallsNaming("dt_close(").size(), 1u);
}

TEST_F(NetworkInventoryTest, StationBoardsAreCountedAndCutAtTheMaximum) {
    EXPECT_THAT(Inventory(3, 12), ElementsAre(InventoryReply(3, {{1, 1, 8}, {2, 9, 12}})));
    const std::vector<std::string> opens = CallsNaming("ms_open(");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_THAT(opens[0], HasSubstr("ms_open(\"msiB1\", 0)"));
    EXPECT_EQ(CallsNaming("ms_close(").size(), 2u);
    ExpectNothingLeftOpen("msiB");
}

TEST_F(NetworkInventoryTest, AReachedMaximumStopsAfterTheFirstBoard) {
    EXPECT_THAT(Inventory(3, 8), ElementsAre(InventoryReply(3, {{1, 1, 8}})));
    EXPECT_THAT(CallsNaming("msiB2"), IsEmpty());
}

TEST_F(NetworkInventoryTest, IpWithoutIntelIpBoardsListsNothing) {
    ASSERT_FALSE(manager_->Hardware()->HasIntelIPBoards(0));
    EXPECT_THAT(Inventory(2, 100), ElementsAre(InventoryReply(2, {})));
}

TEST_F(NetworkInventoryTest, AnUnknownKindRepliesTheKindAndNoBoards) {
    EXPECT_THAT(Inventory(7, 100), ElementsAre(InventoryReply(7, {})));
    EXPECT_THAT(Inventory(-1, 100), ElementsAre(InventoryReply(-1, {})));
    EXPECT_THAT(CallsNaming("_open("), IsEmpty());
}

class NoStationBoardInventoryTest : public ChannelInventoryTest {
protected:
    std::string Boards() const override { return "station 0 0\nnetwork 0 0\nip 0 0\n"; }
};

TEST_F(NoStationBoardInventoryTest, StationKindTriesNothingWithoutBoards) {
    EXPECT_THAT(Inventory(3, 10), ElementsAre(InventoryReply(3, {})));
    EXPECT_THAT(CallsNaming("ms_open("), IsEmpty());
}

TEST_F(NoStationBoardInventoryTest, NetworkKindTriesBoardOneWithoutBoards) {
    EXPECT_THAT(Inventory(1, 10), ElementsAre(InventoryReply(1, {})));
    EXPECT_THAT(CallsNaming("dt_open("), ElementsAre("dt_open(\"dtiB1\", 0) = -1"));
}

// --- With Intel IP boards, and so with Global Call ---

class IpInventoryTest : public ChannelInventoryTest {
protected:
    std::string Boards() const override { return "voice 1 4\nnetwork 2 30\nip 2 4\n"; }
};

TEST_F(IpInventoryTest, NetworkBoardsAreCountedThroughGlobalCallOnceItRuns) {
    ASSERT_TRUE(manager_->Hardware()->IsGlobalCallInitialised());
    EXPECT_THAT(Inventory(1, 100), ElementsAre(InventoryReply(1, {{1, 1, 30}, {2, 31, 60}})));
    const std::vector<std::string> opens = CallsNaming("gc_Open(");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_THAT(opens[0], AllOf(HasSubstr("\":N_dtiB1:P_isdn\", 0) = 0")));
    EXPECT_THAT(opens[1], AllOf(HasSubstr("\":N_dtiB2:P_isdn\", 0) = 0")));
    EXPECT_EQ(CallsNaming("gc_Close(").size(), 2u);
    EXPECT_THAT(CallsNaming("dt_open("), IsEmpty());
}

TEST_F(IpInventoryTest, IpBoardsAreListedWithTheNumbersOfTheBoardList) {
    ASSERT_TRUE(manager_->Hardware()->HasIntelIPBoards(0));
    int32_t firstBoard = 0;
    int32_t lastBoard = 0;
    int32_t channelOnBoard = 0;
    ASSERT_TRUE(telephony::IntelBoards().FindChannel(telephony::CIntelBoard::kIPT, 1, &firstBoard,
                                                     &channelOnBoard));
    ASSERT_TRUE(telephony::IntelBoards().FindChannel(telephony::CIntelBoard::kIPT, 8, &lastBoard,
                                                     &channelOnBoard));
    ASSERT_NE(firstBoard, lastBoard);

    EXPECT_THAT(Inventory(2, 100),
                ElementsAre(InventoryReply(2, {{firstBoard, 1, 4}, {lastBoard, 5, 8}})));
    // The walk covers every channel, the channel numbers stop at the maximum.
    EXPECT_THAT(Inventory(2, 6),
                ElementsAre(InventoryReply(2, {{firstBoard, 1, 4}, {lastBoard, 5, 6}})));
    EXPECT_THAT(Inventory(2, 3),
                ElementsAre(InventoryReply(2, {{firstBoard, 1, 3}, {lastBoard, 4, 3}})));
}

}  // namespace
}  // namespace ruzd::node
