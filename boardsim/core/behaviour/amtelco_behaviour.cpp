#include <algorithm>
#include <cstdio>
#include <cstring>

#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

bool IsBoard(uint8_t board) {
    return board >= 1 && board <= Machine::Get().config().amtelco_boards;
}

// Fills the message for the board named in its first byte; the text starts at byte 13.
int32_t Receive(AmtelcoMailbox::Box box, XDS_MSG* message) {
    if (message == nullptr)
        return XDS_NO_MESSAGE;
    const uint8_t board = message->board;
    const std::optional<BoardMessage> taken = Machine::Get().amtelco().Take(box, board);
    if (!taken)
        return XDS_NO_MESSAGE;
    *message = XDS_MSG{};
    message->board = board;
    message->group = taken->group;
    message->type = taken->type;
    // A text as long as the field fills it without a terminator, as a board may send it.
    const size_t length = std::min(taken->text.size(), sizeof(message->text));
    std::memcpy(message->text, taken->text.data(), length);
    return XDS_OK;
}

}  // namespace

int32_t Behaviour<tags::xds_id>::Run(uint8_t board, XDS_ID* id) {
    if (id == nullptr || !IsBoard(board))
        return 1;
    *id = XDS_ID{};
    std::snprintf(id->id, sizeof id->id, "XDS%u", static_cast<unsigned>(board));
    std::snprintf(id->version, sizeof id->version, "boardsim 1.0");
    return XDS_OK;
}

int32_t Behaviour<tags::xds_msg_receive>::Run(XDS_MSG* message) {
    return Receive(AmtelcoMailbox::Box::kMessages, message);
}

int32_t Behaviour<tags::xds_query_receive>::Run(XDS_MSG* message) {
    return Receive(AmtelcoMailbox::Box::kQueries, message);
}

// A board that is not there refuses with 1, as xds_id does.
int32_t Behaviour<tags::xds_msg_on>::Run(uint8_t board) {
    if (!IsBoard(board))
        return 1;
    Machine::Get().amtelco_boards().MessagesOn(board);
    return XDS_OK;
}

int32_t Behaviour<tags::xds_msg_send>::Run(uint8_t board, const char* text) {
    if (!IsBoard(board) || text == nullptr)
        return 1;
    Machine::Get().amtelco_boards().Send(board, text);
    return XDS_OK;
}

int32_t Behaviour<tags::xds_mc3_ring_mode>::Run(uint8_t board, uint8_t mode) {
    if (!IsBoard(board))
        return 1;
    Machine::Get().amtelco_boards().SetRingMode(board, mode);
    return XDS_OK;
}

int32_t Behaviour<tags::xds_board_reset>::Run(uint8_t board) {
    if (!IsBoard(board))
        return 1;
    Machine::Get().amtelco_boards().Reset(board);
    return XDS_OK;
}

}  // namespace ruzd::boardsim
