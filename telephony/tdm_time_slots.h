#pragma once

// Devices on the boards' TDM bus: the slot a device transmits on, letting a device listen to a
// slot, and stopping it. The Dialogic device types map each operation onto their library's call;
// the Aculab types borrow a bus slot from the pool (telephony/bus_resource_pool.h) and connect it
// with the Aculab switch. Every operation but the release first makes sure the node manager is
// still there (through its published Aculab channel store) and returns -1 when it is gone.

#include <cstdint>

#include "telephony/device_handle_lookup.h"
#include "telephony/vendorapi/bus.h"

namespace ruzd::telephony {

// The device types these operations route, beside those of telephony/device_handle_lookup.h.
inline constexpr int32_t kBusTypeAnalog = 2;
inline constexpr int32_t kBusTypeConference = 8;
inline constexpr int32_t kBusTypeProsody = 16;
inline constexpr int32_t kBusTypeAculabDti = 17;
inline constexpr int32_t kBusTypeAculabIp = 18;

// The slot the digit relay keeps for itself; the pool never lends it.
inline constexpr int32_t kDigitRelayTimeSlot = 4095;

// "vox", "lsi", "dti", "msi", "ip", "dcb", "prosody", "Aculab_dti", "Aculab_ip", else "?".
const char* DeviceTypeName(int32_t type);
// The kind of a routing channel descriptor: "vox", "isdn", "fax", "msi", "scx", "brd", "ip",
// "sock", "inap" for 0 to 6, 8 and 9; else "?".
const char* ChannelKindName(int32_t kind);

// Makes the device transmit on a bus slot and returns the slot, also stored as the descriptor's
// first slot; -1 on failure. Without a descriptor the vendor is handed one of our own.
int32_t GetXTimeSlot(int32_t device, int32_t type, SC_TSINFO* descriptor);
// Makes the device listen to the descriptor's first slot: 0, -1 for a refusal or a Dialogic
// failure, or the Aculab switch's own non-zero result.
int32_t ListenXTimeSlot(int32_t device, int32_t type, const SC_TSINFO* descriptor);
// Stops the device listening; results as for ListenXTimeSlot.
int32_t UnListenXTimeSlot(int32_t device, int32_t type);
// Gives an Aculab device's borrowed slot back to the pool: 0, or -1 for another type.
int32_t ReleaseXTimeSlot(int32_t device, int32_t type);
// The transmit slot of a Dialogic device into `slot`, with `descriptor` pointed at it (count
// 1): 0, or -1 (also for the Aculab types, which have no slot of their own).
int32_t GetXmitSlotInfo(int32_t device, int32_t type, SC_TSINFO* descriptor, int32_t* slot);

// Builds the pool from the first Aculab card's bus mode (after freeing any pool built before)
// and checks the Dialogic bus set-up against it; problems are logged and shown.
void PrepareBusResourcesForAculabRouting();
// Deletes every slot of the pool.
void FreeBusResources();

}  // namespace ruzd::telephony
