#pragma once

// The Aculab half of the bus operations (telephony/tdm_time_slots.h), for devices that have no
// slot of their own on the bus: they borrow one from the pool (telephony/bus_resource_pool.h)
// and connect it with the Aculab switch of their card, as the node manager's Aculab channel
// store describes the device. The callers hold the manager and the facade for the call.

#include <cstdint>

#include "telephony/aculab_channel_store.h"
#include "telephony/hardware.h"
#include "telephony/vendorapi/bus.h"

namespace ruzd::telephony {

// Types 16 (Prosody, never routed), 17 (Aculab DTI) and 18 (Aculab IP).
bool IsAculabType(int32_t type);

// The bus slot the device borrowed (the same one until it is given back), or -1.
int32_t GetAculabTimeSlot(CHardware& hardware, const AculabChannelStore& manager, int32_t device,
                          int32_t type, SC_TSINFO* descriptor);
// 0, -1 for a refusal, or the switch's own failure.
int32_t ListenAculabTimeSlot(CHardware& hardware, const AculabChannelStore& manager, int32_t device,
                             int32_t type, const SC_TSINFO* descriptor);
int32_t UnListenAculabTimeSlot(CHardware& hardware, const AculabChannelStore& manager,
                               int32_t device, int32_t type);

}  // namespace ruzd::telephony
