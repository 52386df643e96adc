#pragma once

// What the ISDN (cc_) and Global Call (gc_) call functions share: reporting a refusal the way
// each library does, and the queries of calls and call events.

#include <cstdint>
#include <optional>

#include "boardsim/core/call_event_data.h"
#include "boardsim/core/call_model.h"
#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {

enum class Flavour { kIsdn, kGlobalCall };

inline bool IsAsync(uint32_t mode) {
    return (mode & EV_ASYNC) != 0;
}

// 0 for kNone; else -1, after recording why as the line device's last error (ATDV_LASTERR)
// and, for Global Call, as the thread's Global Call error (gc_ErrorValue).
int32_t Report(Flavour flavour, CallFault fault, LINEDEV line);
// The same for a function of a call: the call's line device gets the error.
int32_t ReportForCall(Flavour flavour, CallFault fault, CRN crn);

// The call-control library behind a Global Call line device: the IP library for IP
// devices, the ISDN library for the rest.
int32_t CallControlLibraryOf(LINEDEV line);

// The call data of the event whose data the pointer is (the current event of some thread).
std::optional<CallEventData> CallEventOf(const void* event_data);

// The call information of an id: 262 the number called, 263 the number calling, 264 the
// calling name (texts with their terminating zero), 265 the call information type (1 byte).
CallFault CallInformation(CRN crn, int32_t info_id, char* buffer);
CallFault CallStateOf(CRN crn, int32_t* state);
CallFault LineOfCall(CRN crn, LINEDEV* line);
// The information elements an event brought (U_IES), as an IE_BLK.
CallFault SignallingInformation(char* buffer, int32_t info_id, const void* event_data);
CallFault ReceivedInformationElements(LINEDEV line, IE_BLK* block);
CallFault SendInformationElements(LINEDEV line, const IE_BLK* block);

const char* CauseText(int32_t cause);

}  // namespace ruzd::boardsim
