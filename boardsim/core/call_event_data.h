#pragma once

// The data of a call-control event as the simulated libraries raise it: the call reference
// and the event's result (a cause, a state, or 0), 32 bits each, then, when the event brought
// information elements, their length (16 bits) and bytes. The call functions that are handed
// an event's data (cc_GetCRN, cc_ResultValue, cc_GetSigInfo and their Global Call twins) read
// it back from here.

#include <cstdint>
#include <optional>
#include <vector>

#include "boardsim/core/event_queue.h"

namespace ruzd::boardsim {

struct CallEventData {
    int32_t crn = 0;
    int32_t result = 0;
    std::optional<std::vector<uint8_t>> information_elements;
};

std::vector<uint8_t> EncodeCallEvent(const CallEventData& data);

// The call data of an event: those of the call-control range (0x800 to 0x8FF) but an alarm,
// whose data holds at least the two words. nullopt for any other event.
std::optional<CallEventData> DecodeCallEvent(const Event& event);

}  // namespace ruzd::boardsim
