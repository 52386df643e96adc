#pragma once

// The device types by the names the node's code uses. They are defined once, beside the device
// tables' lookup for the hardware layer, which needs the same numbers.

#include "telephony/device_handle_lookup.h"

namespace ruzd::node {

using telephony::kBoardLineDeviceBase;
using telephony::kPortTypeAculabDti;
using telephony::kPortTypeGlobalCallIp;
using telephony::kPortTypeIp;
using telephony::kPortTypeNetwork;
using telephony::kPortTypeStation;
using telephony::kPortTypeVoice;

}  // namespace ruzd::node
