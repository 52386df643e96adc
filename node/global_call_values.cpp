#include "node/global_call_values.h"

#include <cstring>

#include "node/isdn_call_values.h"
#include "node/port_type.h"
#include "platform/text.h"

namespace ruzd::node {
namespace {

const char* Text(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

std::string GlobalCallTrunkName(int32_t ldev) {
    std::string name;
    if (ldev >= kBoardLineDeviceBase) {
        name = platform::Format(":N_dtiB%i:P_isdn", ldev - kBoardLineDeviceBase);
    } else {
        // Computed in 64 bits so that no line device number the central server sends overflows.
        const int64_t index = static_cast<int64_t>(ldev) - 1;
        name = platform::Format(":N_dtiB%iT%i:P_isdn",
                                static_cast<int>(index / kBChannelsPerTrunk + 1),
                                static_cast<int>(index % kBChannelsPerTrunk + 1));
    }
    if (name.size() > kMaxGlobalCallNameLength) {
        name.resize(kMaxGlobalCallNameLength);
    }
    return name;
}

std::string GlobalCallIpName(int32_t iptBoard, int32_t iptChannel, int32_t ipmBoard,
                             int32_t ipmChannel) {
    return platform::Format(":N_iptB%dT%d:P_IP:M_ipmB%dC%d", iptBoard, iptChannel, ipmBoard,
                            ipmChannel);
}

std::vector<uint8_t> ParameterBlock(const std::vector<uint8_t>& bytes, size_t tail, uint8_t fill) {
    if (bytes.empty()) {
        return {};
    }
    std::vector<uint8_t> block(bytes.size() + tail, fill);
    const auto size = static_cast<uint16_t>(bytes.size());
    std::memcpy(block.data(), &size, sizeof size);
    std::memcpy(block.data() + sizeof size, bytes.data(), bytes.size());
    return block;
}

std::string GlobalCallErrorText(const char* call, const GC_INFO& info) {
    return platform::Format("%s GC Error = %d - %s, CCLib = %d - %s, CC Error = %d - %s", call,
                            info.gcValue, Text(info.gcMsg), info.ccLibId, Text(info.ccLibName),
                            info.ccValue, Text(info.ccMsg));
}

std::string GlobalCallErrorLine(const char* call, const GC_INFO& info) {
    return platform::Format("%s GC Error = %d %s CCLib %d %s CC Error %d %s Msg = %s", call,
                            info.gcValue, Text(info.gcMsg), info.ccLibId, Text(info.ccLibName),
                            info.ccValue, Text(info.ccMsg), Text(info.additionalInfo));
}

}  // namespace ruzd::node
