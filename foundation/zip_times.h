#pragma once

// The clocks of a zip archive: MS-DOS date and time (local time, two-second steps), Unix seconds
// in the extended time stamp (UTC), and the Windows file times of the entry record.

#include <cstdint>

#include "platform/clock.h"

namespace ruzd::foundation {

uint64_t FileTimeOf(platform::WallTime time);
platform::WallTime WallTimeOfFileTime(uint64_t file_time);

// The local date and time as MS-DOS packs them; years before 1980 give 1 January 1980.
struct DosDateTime {
    uint16_t date = 0;
    uint16_t time = 0;
};
DosDateTime DosDateTimeOf(platform::WallTime time);

// The moment a local MS-DOS date and time names; the date and time read as UTC when the local
// zone cannot place it.
platform::WallTime WallTimeOfDos(uint16_t dos_date, uint16_t dos_time);

// The whole Unix seconds of the extended time stamp, true UTC; dates before 1970 become
// 1 January 1970 and dates from 2038 on 31 December 2037, keeping the time of day.
uint32_t ZipUnixTimeOf(platform::WallTime time);

}  // namespace ruzd::foundation
