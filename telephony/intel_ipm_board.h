#pragma once

// An IP media board (IPM), opened through Global Call so that its channels can be counted and
// paired with the IP call-control channels.

#include <cstdint>
#include <string>

#include "telephony/intel_board.h"

namespace ruzd::telephony {

class CIntelIPMBoard : public CIntelBoard {
public:
    CIntelIPMBoard() : CIntelBoard(kIPM) {}

    // Opens ":M_ipmB<n>" and counts its channels; false when the open failed.
    bool Init(int32_t board_number);

    const std::string& GetDeviceName() const { return device_name_; }

private:
    std::string device_name_;
};

}  // namespace ruzd::telephony
