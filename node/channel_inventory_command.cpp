// The central server's channel inventory (CFAUTO): for one kind of board, the boards the node
// finds and a run of consecutive channel numbers for each, so that the central server can
// configure itself from the hardware. Each board is opened only for as long as it takes to
// count its channels; nothing stays open and no table of the manager changes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "node/central_messages.h"
#include "node/command_arguments.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/aculab_cards.h"
#include "telephony/intel_board.h"
#include "telephony/intel_boards.h"
#include "telephony/prosody_placement.h"
#include "telephony/vendorapi/aculab.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using platform::Format;

namespace {

enum BoardKind : int32_t {
    kBoardKindVoice = 0,
    kBoardKindNetwork = 1,
    kBoardKindIp = 2,
    kBoardKindStation = 3,
};

// A voice channel whose board reports this configuration word is not a voice resource the
// central server can use.
constexpr uint16_t kExcludedVoiceBoardConfig = 0x200;
// Global Call device names are formatted into a buffer of this size.
constexpr size_t kGlobalCallNameSize = 50;

// Hands out consecutive channel numbers from 1, never beyond the maximum.
class ChannelRanges {
public:
    explicit ChannelRanges(int32_t maximum) : maximum_(maximum) {}

    bool Full() const { return total_ >= maximum_; }

    void Add(int32_t board, int32_t channels) {
        const int64_t last = std::min<int64_t>(int64_t{total_} + channels, maximum_);
        boards_.push_back({board, total_ + 1, static_cast<int32_t>(last)});
        total_ = static_cast<int32_t>(last);
    }

    const std::vector<BoardChannelRange>& Boards() const { return boards_; }

private:
    const int32_t maximum_;
    int32_t total_ = 0;
    std::vector<BoardChannelRange> boards_;
};

int32_t BoardCount(telephony::CHardwareISDN& hardware, const char* className) {
    int32_t count = 0;
    hardware.sr_getboardcnt(className, &count);
    return count;
}

// Board 1 is looked at even when none is counted; the walk ends once the channels are used up
// or the counted boards are done.
template <typename LookAtBoard>
void WalkBoards(int32_t boardCount, const ChannelRanges& ranges, LookAtBoard lookAtBoard) {
    int32_t board = 1;
    do {
        lookAtBoard(board);
        ++board;
    } while (!ranges.Full() && board <= boardCount);
}

// The channels of a board device that `open` opens and `close` closes again; -1 when it does
// not open (the count of a failed handle means nothing).
template <typename Open, typename Close>
int32_t CountChannels(telephony::CHardwareISDN& hardware, Open open, Close close) {
    const int32_t handle = open();
    if (handle == -1) {
        return -1;
    }
    const int32_t channels = hardware.ATDV_SUBDEVS(handle);
    close(handle);
    return channels;
}

// A voice board is worth listing when its first channel can play and record and is not of the
// excluded board configuration.
bool FirstChannelIsUsable(telephony::CHardwareISDN& hardware, int32_t board,
                          CommandArguments& args) {
    const std::string name = Format("dxxxB%dC1", board);
    const int32_t channel = hardware.dx_open(0, name.c_str(), 0);
    if (channel == -1) {
        args.TraceLine(Format("dx_open name=%s RC=-1", name.c_str()));
        return false;
    }
    FEATURE_TABLE features{};
    const int32_t result = hardware.dx_getfeaturelist(channel, &features);
    hardware.dx_close(channel);
    args.TraceLine(Format("dx_getfeaturelist name=%s play=%u record=%u config=0x%x RC=%d",
                          name.c_str(), static_cast<unsigned>(features.ft_play),
                          static_cast<unsigned>(features.ft_record),
                          static_cast<unsigned>(features.ft_e2p_brd_cfg), result));
    return result == 0 && features.ft_play != 0 && features.ft_record != 0 &&
           features.ft_e2p_brd_cfg != kExcludedVoiceBoardConfig;
}

// The voice decision rests on the first channel alone: a board whose board device reports no
// channels is still listed, with an empty range.
void ListVoiceBoards(telephony::CHardwareISDN& hardware, ChannelRanges& ranges,
                     CommandArguments& args) {
    WalkBoards(BoardCount(hardware, "Voice"), ranges, [&](int32_t board) {
        const std::string name = Format("dxxxB%d", board);
        const int32_t channels = CountChannels(
            hardware, [&] { return hardware.dx_open(0, name.c_str(), 0); },
            [&](int32_t handle) { hardware.dx_close(handle); });
        if (FirstChannelIsUsable(hardware, board, args) && channels >= 0) {
            ranges.Add(board, channels);
        }
    });
}

// Network interfaces are counted through Global Call once it runs, else through the network
// library.
void ListNetworkBoards(telephony::CHardwareISDN& hardware, ChannelRanges& ranges) {
    WalkBoards(BoardCount(hardware, "DTI"), ranges, [&](int32_t board) {
        int32_t channels = 0;
        if (hardware.IsGlobalCallInitialised()) {
            char name[kGlobalCallNameSize] = {};
            std::snprintf(name, sizeof(name), ":N_dtiB%i:P_isdn", board);
            channels = CountChannels(
                hardware,
                [&] {
                    LINEDEV line = -1;
                    return hardware.gc_Open(0, &line, name, 0) == 0 ? line : -1;
                },
                [&](int32_t line) { hardware.gc_Close(0, line); });
        } else {
            const std::string name = Format("dtiB%d", board);
            channels = CountChannels(
                hardware, [&] { return hardware.dt_open(0, name.c_str(), 0); },
                [&](int32_t handle) { hardware.dt_close(handle); });
        }
        if (channels > 0) {
            ranges.Add(board, channels);
        }
    });
}

void ListStationBoards(telephony::CHardwareISDN& hardware, ChannelRanges& ranges) {
    const int32_t boardCount = BoardCount(hardware, "MSI");
    if (boardCount <= 0) {
        return;
    }
    WalkBoards(boardCount, ranges, [&](int32_t board) {
        const std::string name = Format("msiB%d", board);
        const int32_t channels = CountChannels(
            hardware, [&] { return hardware.ms_open(0, name.c_str(), 0); },
            [&](int32_t handle) { hardware.ms_close(handle); });
        if (channels > 0) {
            ranges.Add(board, channels);
        }
    });
}

// Without the Intel IP boards, the IP boards of the open Aculab cards whose net ports are IP
// ports: two for each Prosody module, of 30 channels each, numbered over all such cards.
void ListAculabIpBoards(ChannelRanges& ranges) {
    telephony::AculabCardList& cards = telephony::AculabCards();
    std::lock_guard hold(cards.Lock());
    int32_t board = 0;
    for (size_t i = 0; i < cards.Size() && !ranges.Full(); ++i) {
        const telephony::CAculabCard& card = cards.At(i);
        if (card.GetCardId() == 0 || card.GetNetPortType() != ACU_NETPORT_PROSODY_IP) {
            continue;
        }
        const int32_t boards = telephony::kProsodyStreamsPerModule * card.GetProsodyModuleCount();
        for (int32_t entry = 0; entry < boards && !ranges.Full(); ++entry) {
            ranges.Add(++board, telephony::kProsodyChannelsPerStream);
        }
    }
}

// The IP channels are numbered across the IP telephony boards; each board's count is the
// position of its last channel on it. The walk covers every channel, whatever the maximum.
void ListIpBoards(telephony::CHardwareISDN& hardware, ChannelRanges& ranges) {
    if (!hardware.HasIntelIPBoards(0)) {
        ListAculabIpBoards(ranges);
        return;
    }
    const telephony::CIntelBoards& boards = telephony::IntelBoards();
    int32_t previousBoard = 0;
    int32_t lastChannelOnBoard = 0;
    int32_t board = 0;
    int32_t channelOnBoard = 0;
    for (int32_t channel = 1;
         boards.FindChannel(telephony::CIntelBoard::kIPT, channel, &board, &channelOnBoard);
         ++channel) {
        if (board != previousBoard && previousBoard != 0) {
            ranges.Add(previousBoard, lastChannelOnBoard);
        }
        previousBoard = board;
        lastChannelOnBoard = channelOnBoard;
    }
    if (previousBoard != 0) {
        ranges.Add(previousBoard, lastChannelOnBoard);
    }
}

}  // namespace

void CVesmarinManager::SocketCmdCFAUTO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelGeneral);
    int32_t kind = 0;
    int32_t maximum = 0;
    if (!args.Int(kind).Int(maximum).Enter()) {
        return;
    }

    ChannelRanges ranges(maximum);
    if (hardware_) {
        switch (kind) {
            case kBoardKindVoice:
                ListVoiceBoards(*hardware_, ranges, args);
                break;
            case kBoardKindNetwork:
                ListNetworkBoards(*hardware_, ranges);
                break;
            case kBoardKindIp:
                ListIpBoards(*hardware_, ranges);
                break;
            case kBoardKindStation:
                ListStationBoards(*hardware_, ranges);
                break;
            default:
                break;
        }
    }
    messages_.AutoConfiguration(*command, kind, ranges.Boards());
}

}  // namespace ruzd::node
