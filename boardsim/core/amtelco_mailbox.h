#pragma once

// Messages the simulated Amtelco boards hold for the node: board messages (read with
// xds_msg_receive) and query answers (xds_query_receive), each board's in arrival order.

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ruzd::boardsim {

struct BoardMessage {
    uint8_t group = 0;
    uint8_t type = 0;
    std::string text;
};

class AmtelcoMailbox {
public:
    enum class Box { kMessages, kQueries };

    void Post(Box box, uint8_t board, BoardMessage message);
    std::optional<BoardMessage> Take(Box box, uint8_t board);
    size_t Pending(Box box, uint8_t board) const;

private:
    mutable std::mutex mutex_;
    std::map<std::pair<Box, uint8_t>, std::deque<BoardMessage>> boxes_;
};

}  // namespace ruzd::boardsim
