#pragma once

// The conversions of OLE dates that the date operations and the zone database share: the
// machine's zone through the C library, without the server time shift, and the status rule of
// the operations that fail.

#include <cstdint>
#include <optional>

#include "foundation/ole_date.h"

namespace ruzd::foundation {

// The failure result of a date operation: kNullOleDate for a null input, else the input itself
// when it is to be kept, else kInvalidOleDate.
OleDate FailedDate(const OleDate& input, bool keep_input_on_failure);

// A UTC date as the machine's local time and back, in whole seconds; none when the date is not
// valid or the C library cannot represent the time. The UTC side runs `shift_seconds` behind
// the machine's clock (the server time shift).
std::optional<OleDate> MachineUtcToLocal(const OleDate& utc, int32_t shift_seconds = 0);
std::optional<OleDate> MachineLocalToUtc(const OleDate& local, int32_t shift_seconds = 0);

// The milliseconds since midnight of a date, truncated (a value a hair below a whole
// millisecond, as doubles carry it, counts as that millisecond).
int32_t MillisecondsOfDay(const OleDate& date);

}  // namespace ruzd::foundation
