#pragma once

// What Global Call is started with: the list of call-control libraries the node uses and, for
// the IP library, its start data with the one IP virtual board. The records point at each
// other, so the whole set lives at one address for the length of the start.

#include <cstdint>

#include "telephony/vendorapi/globalcall.h"

namespace ruzd::telephony {

// The settings of the IP virtual board that the node chooses.
struct IpBoardSettings {
    uint32_t max_calls = 0;
    uint32_t address = IP_CFG_DEFAULT_ADDRESS;  // network byte order; all bits set: not set
    uint16_t sip_port = 0xFFFF;                 // 65535: the library's default
    uint32_t tcp_enabled = 0;
    uint32_t session_timers_enabled = 0;
};

// The IP virtual board as the IP interface's own initialiser leaves it.
void InitialiseIpVirtualBoard(IP_VIRTBOARD* board);
// The board as the node starts it: initialised, then the node's settings.
void BuildIpVirtualBoard(const IpBoardSettings& settings, IP_VIRTBOARD* board);

class GlobalCallStartData {
public:
    // With IP boards, seven libraries (the IP library with its start data); else six.
    GlobalCallStartData(const IpBoardSettings& settings, bool with_ip_boards);
    GlobalCallStartData(const GlobalCallStartData&) = delete;
    GlobalCallStartData& operator=(const GlobalCallStartData&) = delete;

    GC_START_STRUCT* start() { return &start_; }
    const IP_VIRTBOARD& board() const { return board_; }

private:
    IP_VIRTBOARD board_{};
    IPCCLIB_START_DATA ip_start_{};
    CCLIB_START_STRUCT libraries_[7]{};
    GC_START_STRUCT start_{};
};

}  // namespace ruzd::telephony
