#include "telephony/global_call_start_data.h"

#include <cstring>
#include <initializer_list>

namespace ruzd::telephony {
namespace {

// The board record is read by position, little-endian, whatever the alignment.
void Put16(IP_VIRTBOARD* board, size_t at, uint16_t value) {
    board->bytes[at] = static_cast<uint8_t>(value);
    board->bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(IP_VIRTBOARD* board, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i)
        board->bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

constexpr uint32_t kAllBits = 0xFFFFFFFF;
// Offsets the node sets that have no name of their own in the vendor's interface here.
constexpr size_t kReliableTransportSwitch = 110;
constexpr size_t kReliableTransportTimeoutMs = 114;
// Which SIP message information the application is given: request URI and contact.
constexpr uint32_t kSipMessageInfoMask = 3;

}  // namespace

void InitialiseIpVirtualBoard(IP_VIRTBOARD* board) {
    std::memset(board->bytes, 0xFF, sizeof(board->bytes));
    Put16(board, IP_VIRTBOARD_VERSION, IP_VIRTBOARD_VERSION_INIT);
    Put16(board, IP_VIRTBOARD_SIZE, sizeof(IP_VIRTBOARD));
    for (size_t at : {41, 45, 49})
        Put32(board, at, 0);
    Put16(board, 53, 0x100);
    Put32(board, 55, kAllBits);
    Put32(board, 59, kAllBits);
    Put16(board, 63, 60);
    for (size_t at : {84, 88, 92})
        Put32(board, at, 0);
    Put32(board, 96, 1);
    Put16(board, 100, 0);
    Put32(board, 102, 0);
    Put32(board, 106, 4);
    for (size_t at : {110, 118, 122, 126})
        Put32(board, at, 0);
    Put32(board, IP_VIRTBOARD_SESSION_EXPIRES, 1800);
    Put32(board, IP_VIRTBOARD_MIN_SE, 90);
    for (size_t at : {138, 142, 146, 150, 171, 175, 179})
        Put32(board, at, 0);
    Put32(board, 183, 1);
    for (size_t at : {187, 191, 195, 199})
        Put32(board, at, 0);
}

void BuildIpVirtualBoard(const IpBoardSettings& settings, IP_VIRTBOARD* board) {
    InitialiseIpVirtualBoard(board);
    Put16(board, IP_VIRTBOARD_VERSION, IP_VIRTBOARD_VERSION_NODE);
    Put32(board, IP_VIRTBOARD_TOTAL_MAX_CALLS, settings.max_calls);
    Put32(board, IP_VIRTBOARD_H323_MAX_CALLS, settings.max_calls);
    Put32(board, IP_VIRTBOARD_SIP_MAX_CALLS, settings.max_calls);
    // Address family IPv4 (0), the address as it stands in memory, then zeros.
    std::memset(board->bytes + IP_VIRTBOARD_LOCALIP, 0, 17);
    std::memcpy(board->bytes + IP_VIRTBOARD_LOCALIP + 1, &settings.address, 4);
    Put16(board, IP_VIRTBOARD_SIP_PORT, settings.sip_port);
    Put32(board, IP_VIRTBOARD_SIP_MSGINFO_MASK, kSipMessageInfoMask);
    Put32(board, IP_VIRTBOARD_SIP_TCP_ENABLED, settings.tcp_enabled);
    Put32(board, kReliableTransportSwitch, 1);
    Put32(board, kReliableTransportTimeoutMs, 1000);
    Put32(board, IP_VIRTBOARD_SESSION_TIMERS, settings.session_timers_enabled);
}

GlobalCallStartData::GlobalCallStartData(const IpBoardSettings& settings, bool with_ip_boards) {
    BuildIpVirtualBoard(settings, &board_);
    ip_start_.version = IPCCLIB_START_DATA_VERSION;
    ip_start_.delimiter = ',';
    ip_start_.num_boards = 1;
    ip_start_.board_list = &board_;
    ip_start_.max_parm_data_size = kAllBits;
    ip_start_.rfu = 0;

    int32_t count = 0;
    auto add = [&](const char* name, void* data) { libraries_[count++] = {name, data}; };
    add("GC_PDKRT_LIB", nullptr);
    add("GC_IPM_LIB", nullptr);
    if (with_ip_boards)
        add("GC_H3R_LIB", &ip_start_);
    add("GC_DM3CC_LIB", nullptr);
    add("GC_ISDN_LIB", nullptr);
    add("GC_ICAPI_LIB", nullptr);
    add("GC_ANAPI_LIB", nullptr);
    start_.num_cclibs = count;
    start_.cclib_list = libraries_;
}

}  // namespace ruzd::telephony
