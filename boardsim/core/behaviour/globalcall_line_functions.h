#pragma once

// What Global Call's line device functions share with its other functions and the control
// socket (globalcall_line_behaviour.cpp).

#include <cstdint>
#include <vector>

#include "boardsim/core/call_records.h"
#include "boardsim/core/event_queue.h"
#include "telephony/vendorapi/globalcall.h"

namespace ruzd::boardsim {

// An EXTENSION event on the line device, for the call (0 for none), pointing to the extension
// id and the parameter block (its size field and data).
void RaiseExtension(int32_t line, CRN crn, uint8_t extension_id, const std::vector<uint8_t>& block);

// The blocks of gc_MakeCall as the call keeps them.
OutgoingBlocks ReadOutgoingBlocks(const GC_MAKECALL_BLK* makecall);

// Writes the event's line into its line device's trace, when the line device traces.
void TraceEvent(const Event& event, CRN crn);

}  // namespace ruzd::boardsim
