#pragma once

// Letting a device listen to a bus time slot, and the slot on which a conference's party hears
// the conference.

#include <cstdint>

#include "node/conference_tables.h"

namespace ruzd::node {

// The party's listen slot, read under the conference lock; 0 when the conference or the party
// is unknown (a recorded slot of 0 counts as unknown too).
int32_t ConferencePartySlot(const ConferenceTables& conferences, int32_t conference, int32_t party,
                            int32_t partyType);

// Makes the device listen to the one slot: the bus routing's result.
int32_t ListenToSlot(int32_t handle, int32_t type, int32_t slot);

}  // namespace ruzd::node
