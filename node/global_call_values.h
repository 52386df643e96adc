#pragma once

// The values the Global Call commands work out before they call the library: the Global Call
// names of network lines and IP channels, the parameter blocks built from a command's bytes,
// and the text of the last Global Call error.

#include <cstdint>
#include <string>
#include <vector>

#include "telephony/vendorapi/globalcall.h"

namespace ruzd::node {

// Global Call names of network lines are kept to this many characters.
inline constexpr size_t kMaxGlobalCallNameLength = 48;
// The synthetic event of a trunk board that opened through Global Call (its D channel).
inline constexpr int32_t kBoardOpenedGlobalCallEvent = 0x82E;
// The event that makes the central server release a channel whose call could not be made.
inline constexpr int32_t kTaskFailEvent = 0x801;
// The sizes of the blocks the commands take whole.
inline constexpr int32_t kGclibMakeCallSize = 524;
inline constexpr int32_t kGclibIeSize = 8;
inline constexpr int32_t kCallAckSize = 24;
// Room and fill after a parameter block's bytes: the user information and the make-call's
// extension data end in 0xFF, the modification and extension blocks in zeros.
inline constexpr size_t kFilledBlockTail = 4;
inline constexpr uint8_t kFilledBlockByte = 0xFF;
inline constexpr size_t kZeroedBlockTail = 35;

// A network line through Global Call: ":N_dtiB%iT%i:P_isdn" (board, time slot), or from
// kBoardLineDeviceBase on its trunk board ":N_dtiB%i:P_isdn".
std::string GlobalCallTrunkName(int32_t ldev);
// An IP channel: ":N_iptB%dT%d:P_IP:M_ipmB%dC%d".
std::string GlobalCallIpName(int32_t iptBoard, int32_t iptChannel, int32_t ipmBoard,
                             int32_t ipmChannel);

// A parameter block of `bytes`: `size + tail` bytes of `fill`, whose first two hold the size
// and whose next ones the bytes. Empty for no bytes: no block is passed then.
std::vector<uint8_t> ParameterBlock(const std::vector<uint8_t>& bytes, size_t tail, uint8_t fill);
// The block as the library takes it: null for an empty one.
inline GC_PARM_BLKP ParameterBlockPointer(std::vector<uint8_t>& block) {
    return block.empty() ? nullptr : reinterpret_cast<GC_PARM_BLKP>(block.data());
}

// "<call> GC Error = %d - %s, CCLib = %d - %s, CC Error = %d - %s" of the error record.
std::string GlobalCallErrorText(const char* call, const GC_INFO& info);
// "<call> GC Error = %d %s CCLib %d %s CC Error %d %s Msg = %s" of the error record.
std::string GlobalCallErrorLine(const char* call, const GC_INFO& info);

}  // namespace ruzd::node
