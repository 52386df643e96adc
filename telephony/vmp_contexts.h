#pragma once

// The media of an Aculab IP channel (device type 18) on its Prosody module: its place and echo
// canceller, and its VMP (voice media processor) contexts with the TDM contexts and data feeds
// between them. Every operation names the channel by its line device number and finds its
// handle in the node manager's IP device table; every id made is kept in the manager's Aculab
// channel store, and read back from there. The manager is reached through what it publishes,
// held for the length of one operation; while there is none an operation logs
// "spVesmarin == NULL!" and gives -1. Every line goes to the "Ip" channel with the line device
// number as its line. Vendor calls go through the published facade.
//
// Lock order: the Aculab card list's lock, then the manager's tables' locks; the manager calls
// these operations without holding its Aculab table lock. Each operation has a second form for
// the manager itself, which hands over its own tables (telephony/aculab_ip_channel.h).

#include <cstdint>

#include "telephony/aculab_ip_channel.h"

namespace ruzd::telephony {

// Places the channel on the module that serves it (stream and four time slots, the module and
// the card's description stored for the handle) and builds its echo canceller out of three
// Prosody channels switched half duplex with the card's switch. -1 when no module serves the
// channel or the channel's card is not the module's; else the result of the last step, which
// silences the canceller's input slot. The failures of the steps before are only logged.
int32_t Prepare_port_forVMP(int32_t ldev);
int32_t Prepare_port_forVMP(const AculabManagerTables& manager, int32_t ldev);

// Releases the echo canceller's three channels and forgets them, whatever each release gives.
// The result of the last release made, 0 when there was none.
int32_t ReleaseEchoCancel(int32_t ldev);
int32_t ReleaseEchoCancel(const AculabManagerTables& manager, int32_t ldev);

// Makes the channel's VMP receive and transmit contexts and its TDM receive and transmit
// contexts on its own slot, and connects them: slot -> TDM receive -> VMP transmit (to the
// network), and network -> VMP receive -> TDM transmit -> slot. 0, or the first failure, which
// ends the set-up; what was made before it stays stored for DestroyVMPContext. The ports of
// the receive context are asked for, but a failure there does not end the set-up.
int32_t ReserveVMPContext(int32_t ldev);
int32_t ReserveVMPContext(const AculabManagerTables& manager, int32_t ldev);

// Disconnects, stops and destroys whatever of the contexts is stored, and forgets it; every
// failure is logged and the teardown goes on. The result of the last call made, 0 when
// nothing was stored.
int32_t DestroyVMPContext(int32_t ldev);
int32_t DestroyVMPContext(const AculabManagerTables& manager, int32_t ldev);

// Asks for the ports of the channel's VMP receive context; the call's result. The ports are
// not kept.
int32_t GetVMPPorts(int32_t ldev);

}  // namespace ruzd::telephony
