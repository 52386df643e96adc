#include "telephony/intel_ipm_board.h"

#include "platform/text.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int kIpLog = 6;

}  // namespace

bool CIntelIPMBoard::Init(int32_t board_number) {
    board_number_ = board_number;
    device_name_ = platform::Format(":M_ipmB%d", board_number);
    if (OpenLineDevice(device_name_) < 0) {
        VendorTrace(kIpLog, 0,
                    "Error: CIPMBoard::Init -> gc_OpenEx failed to get IPM board handle for %s",
                    device_name_.c_str());
        return false;
    }
    CountChannels();
    VendorTrace(kIpLog, 0, "%d Channels on IPM Board %s detected", channel_count_,
                device_name_.c_str());
    return true;
}

}  // namespace ruzd::telephony
