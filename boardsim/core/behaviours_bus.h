#pragma once

// The TDM bus functions of the voice, analog, network interface, station and Global Call
// libraries (bus_behaviour.cpp): a device's transmit slot, its listening and Global Call's
// network handle of a line device. Included by behaviours.h.

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(dx_getxmitslot, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(dx_listen, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(dx_unlisten, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ag_getxmitslot, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(ag_listen, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(ag_unlisten, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(dt_getxmitslot, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(dt_listen, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(dt_unlisten, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ms_getxmitslot, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(ms_listen, int32_t, (int32_t dev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(ms_unlisten, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(gc_GetXmitSlot, int32_t, (LINEDEV linedev, SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(gc_Listen, int32_t, (LINEDEV linedev, SC_TSINFO* tsinfo, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_UnListen, int32_t, (LINEDEV linedev, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_GetNetworkH, int32_t, (LINEDEV linedev, int32_t* network))

}  // namespace ruzd::boardsim
