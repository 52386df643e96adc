#pragma once

// What the simulated Amtelco boards remember of the node's calls: per board whether its
// messages are on, its ring mode, how often it was reset and every text sent to it, in order;
// and per board which rings (by the request number of an information request: 0 for ring 0,
// 2 for ring 1) have a connection, with the cable digit it reports.
//
// A text sent to a board may raise the board's answer: an identification ("XPO...") is
// acknowledged with the board message "IA" (group 2, type 2); an information request
// "QMT<n><hhhh>" is answered with the query "QMT<n><hhhh>0000F<digit>" when ring request n has
// a connection, else "QMT<n><hhhh>0000N0" (group 16, type 0).

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boardsim/core/amtelco_mailbox.h"

namespace ruzd::boardsim {

class AmtelcoBoards {
public:
    struct State {
        bool messages_on = false;
        int32_t ring_mode = 0;
        int32_t resets = 0;
        std::vector<std::string> sent;
    };

    explicit AmtelcoBoards(AmtelcoMailbox& mailbox) : mailbox_(mailbox) {}

    void MessagesOn(uint8_t board);
    void SetRingMode(uint8_t board, int32_t mode);
    void Reset(uint8_t board);
    // Records the text and posts the board's answer, if the text asks for one.
    void Send(uint8_t board, const std::string& text);

    // The cable digit a connection on ring request `request` reports; none: no connection.
    void SetRing(uint8_t board, int32_t request, std::optional<int32_t> digit);

    State StateOf(uint8_t board) const;

private:
    // The query answer to an information request; none for another text.
    std::optional<std::string> AnswerToRequest(uint8_t board, const std::string& text) const;

    AmtelcoMailbox& mailbox_;
    mutable std::mutex mutex_;
    std::map<uint8_t, State> states_;
    std::map<std::pair<uint8_t, int32_t>, int32_t> rings_;
};

}  // namespace ruzd::boardsim
