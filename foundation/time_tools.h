#pragma once

// The node's one clock. The central server tells the node its own time ("TTSYNC"); the node
// never sets the machine clock from it but keeps the difference as a process-wide server time
// shift in whole seconds, and every getter here can report the time as the server sees it. The
// same class knows the machine's zone offset, formats the debug log's time stamps, gives the
// node's own time text for "TTSYNC" and tells registered threads when the shift changes.
//
// The time is read from the platform's clock seam (platform::CurrentClock), the zone from the C
// library (the TZ rules as tzset() last read them).

#include <boost/date_time/posix_time/ptime.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/system_time.h"
#include "platform/clock.h"
#include "platform/message_queue.h"

namespace ruzd::foundation {

// The thread message posted to the shift listeners when the server time shift changes.
constexpr uint32_t WM_TIMETOOLS_TIME_CHANGED = platform::kWmUser + 0x8F;

// What the zone query found: the zone knows no daylight saving, or it is in its standard or
// in its daylight time now (the numbers of the Windows zone query).
enum TimeZoneState : uint32_t {
    kTimeZoneIdUnknown = 0,
    kTimeZoneIdStandard = 1,
    kTimeZoneIdDaylight = 2,
};

// A signed number of seconds as hours, minutes and seconds; the sign stands apart, so that
// -1800 is "minus 0 hours 30 minutes".
struct HmsTriple {
    bool negative = false;
    uint32_t hours = 0;
    uint16_t minutes = 0;
    uint16_t seconds = 0;
};

class TimeTools {
public:
    // Re-reads the zone rules (tzset) and the zone's offset for now; returns the zone state.
    // Runs once before first use, after every applied server time and whenever the machine's
    // clock or zone changed.
    static uint32_t RefreshTimeZone();

    // Applies the central server's time text "YYYY-MM-DDThh:mm:ss..." (the separators and
    // anything after the seconds are not examined). The new shift is own UTC minus the server's
    // time, rounded to the nearest second; the listeners hear of it when it changed. A text
    // that is shorter than 19 characters, or whose fields do not form a valid date and time,
    // changes nothing.
    static void ApplyServerTime(std::string_view text);
    // The shift ApplyServerTime would set for `text` now; none where it would change nothing.
    static std::optional<int32_t> ServerTimeShiftOf(std::string_view text);
    // Sets the shift (own UTC minus the server's time, in seconds) as ApplyServerTime does.
    static void ApplyServerTimeShift(int32_t shift);

    // The node's own time text for "TTSYNC": UTC (shifted) and the signed offset in seconds,
    // "2026-12-08T07:55:27+03600".
    static std::string GetLocalIsoTimestamp();

    // Registers a thread for WM_TIMETOOLS_TIME_CHANGED (or any message number it chooses);
    // message 0 removes it. A thread whose queue is gone when a notice is posted is dropped.
    static void RegisterShiftListener(uint32_t thread_id, uint32_t message);
    // Posts every registered thread its message, both parameters 0.
    static void NotifyShiftListeners();
    static bool IsShiftListener(uint32_t thread_id);

    // Local time minus UTC in seconds, plus the server time shift while it is active; both
    // from one reading of the clock.
    static int32_t GetUtcOffsetSeconds();

    // UTC now, minus the shift while it is active.
    static platform::WallTime GetUtcNow();
    static SystemTime GetUtcSystemTime();
    // The same with millisecond resolution.
    static boost::posix_time::ptime GetUtcOleDateTime();
    // Local now, minus the shift while it is active.
    static SystemTime GetLocalSystemTime();
    // The same in whole seconds.
    static boost::posix_time::ptime GetLocalOleDateTime();

    // "2026-12-08 07:55:27.042" (or without the date "07:55:27.042") of GetUtcSystemTime.
    static std::string FormatUtcTimestamp(bool with_date);
    // The same of GetLocalSystemTime, followed by the zone offset (with the shift while it is
    // active) as signed hours, minutes and seconds: "+1:00:00", "+10:00:00", "-0:30:00".
    static std::string FormatLocalTimestamp(bool with_date);

    // The shift in seconds, positive when the node's clock is ahead of the server's.
    static int32_t GetServerTimeShift();
    // Set by the first applied server time, also when the shift is 0.
    static bool IsServerTimeShiftActive();
    // Back to no shift at all, as at process start; for tests.
    static void ResetServerTimeShift();

    // The zone offset and the zone offset with the shift as the last refresh saw them.
    static int32_t GetBiasSeconds();
    static int32_t GetBiasAndShiftSeconds();

    static HmsTriple SplitSeconds(int32_t value);
    // "+1:00:00", "-0:30:00": the sign, the hours without padding, minutes and seconds.
    static std::string FormatHms(const HmsTriple& triple);
};

}  // namespace ruzd::foundation
