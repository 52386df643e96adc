#pragma once

// The node's one clock. The central server tells the node its own time ("TTSYNC"); the node
// never sets the machine clock from it but keeps the difference as a process-wide server time
// shift in whole seconds, and every getter here can report the time as the server sees it. The
// same class knows the machine's zone, formats the debug log's time stamps, gives the node's
// own time text for "TTSYNC" and tells registered windows and threads when the shift changes
// and when the machine's clock or zone changed. Around the clock: conversions and formats of
// OLE dates, and a database of named zones loaded from a file.
//
// The time is read from the platform's clock seam (platform::CurrentClock), the zone from the C
// library (the TZ rules as tzset() last read them).

#include <boost/date_time/local_time/local_time_types.hpp>
#include <boost/date_time/posix_time/ptime.hpp>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ole_date.h"
#include "foundation/system_time.h"
#include "foundation/time_zone_information.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "platform/window_message.h"

namespace ruzd::foundation {

// The message posted to the shift listeners when the server time shift changes.
constexpr uint32_t WM_TIMETOOLS_TIME_CHANGED = platform::kWmUser + 0x8F;
// The message the application registers for the notice that the machine's clock or zone
// changed.
constexpr uint32_t WM_SYSTEM_TIME_CHANGED = platform::kWmUser + 0x8E;

// The flags of TimeTools::FormatDateTime.
enum DateFormatFlags : uint32_t {
    kFormatLongDate = 1,  // long date, time with seconds
    kFormatDate = 2,
    kFormatTime = 4,
    kFormatOffset = 8,        // always append the offset
    kFormatIso = 16,          // 2026-07-01T14:00:00.000
    kFormatNoDateToday = 32,  // leave out the date when it is today
    kFormatNullText = 64,     // "(null)" for a null date
    kFormatErrorText = 128,   // "(error)" for an invalid date
};

// A stretch of local time with one UTC offset (TimeTools::GetOffsetPeriods).
struct OffsetPeriod {
    OleDate start;
    OleDate end;
    int32_t utc_offset_minutes = 0;
    bool operator==(const OffsetPeriod&) const = default;
};

// A calendar time with nanoseconds.
struct TimeRecord {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint32_t nanoseconds = 0;
};

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
    // Re-reads the zone rules (tzset), the zone's offset for now and the zone records; returns
    // the zone state. Runs once before first use, after every applied server time and whenever
    // the machine's clock or zone changed.
    static uint32_t RefreshTimeZone();
    // The zone records as the last refresh read them, and how many refreshes ran.
    static TimeZoneInformation GetTimeZoneInformation();
    static DynamicTimeZoneInformation GetDynamicTimeZoneInformation();
    static uint64_t GetTimeZoneRefreshCount();

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

    // Registers a window (when one is given, and only while it exists) or else a thread for
    // WM_TIMETOOLS_TIME_CHANGED (or any message number it chooses); message 0 removes it. A
    // window or thread found gone when a notice is posted is dropped.
    static void RegisterShiftListener(const platform::WindowHandle& window, uint32_t thread_id,
                                      uint32_t message);
    // Posts every registered window and thread its message, both parameters 0.
    static void NotifyShiftListeners();
    static bool IsShiftListener(const platform::WindowHandle& window);
    static bool IsShiftListener(uint32_t thread_id);

    // Registers exactly one of a window and a thread for the notice that the machine's clock
    // or zone changed (WM_SYSTEM_TIME_CHANGED, or any message number); message 0 removes it.
    // False, registering nothing, with both or neither. The notice comes half a second after
    // the first change of a burst, once the zone was re-read; a receiver found gone is dropped.
    static bool RegisterTimeChangeListener(const platform::WindowHandle& window, uint32_t thread_id,
                                           uint32_t message);
    // Sets (null clears) a function run on the notice thread after each re-read of the zone,
    // before the listeners are posted. Always true.
    static bool SetTimeChangeCallback(void (*callback)());
    static bool IsTimeChangeListener(const platform::WindowHandle& window);
    static bool IsTimeChangeListener(uint32_t thread_id);
    // The thread that takes the system's WM_TIMECHANGE notices; 0 while nobody listens.
    static uint32_t GetTimeChangeNoticeThreadId();

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

    // --- Dates ---
    //
    // The operations that take a keep flag share one rule: a null date gives kNullOleDate;
    // another date that is not valid, or a conversion that fails, gives the input itself when
    // the flag is set, else kInvalidOleDate.

    // UTC to the machine's local time (the shift, while active, added to the input first) and
    // back (the shift subtracted from the result), in whole seconds.
    static OleDate UtcToLocalTime(const OleDate& utc, bool keep_input_on_failure);
    static OleDate LocalTimeToUtc(const OleDate& local, bool keep_input_on_failure);
    // The same with the keep flag set; a date that is not valid is copied.
    static OleDate ToLocalTime(const OleDate& utc);
    static OleDate ToUtcTime(const OleDate& local);
    static OleDate AddSeconds(const OleDate& date, int32_t seconds, bool keep_input_on_failure);
    static OleDate SubtractSeconds(const OleDate& date, int32_t seconds,
                                   bool keep_input_on_failure);
    // The whole days of the first (as a magnitude) and the time of day of the second, with the
    // first's sign.
    static OleDate CombineDateAndTime(const OleDate& date_source, const OleDate& time_source);
    // The whole days (truncated toward zero), and the time of day alone.
    static OleDate GetDatePart(const OleDate& date);
    static OleDate GetTimePart(const OleDate& date);
    // Rounded to whole days (level 0), hours (1), minutes (2), seconds (3) or milliseconds (4
    // and above).
    static OleDate RoundDateTime(const OleDate& date, int level);
    // A record to a date with its milliseconds, and back; none when the fields or the date are
    // out of range.
    static std::optional<OleDate> SystemTimeToDateMs(const SystemTime& record);
    static std::optional<SystemTime> DateToSystemTimeMs(const OleDate& date);
    // floor(value * 10^digits + 0.5) / 10^digits, digits from -4 to 4.
    static double RoundToDigits(double value, int digits);
    static TimeRecord SystemTimeToTimeRecord(const SystemTime& record);
    static SystemTime TimeRecordToSystemTime(const TimeRecord& record);
    // The date (plus the offset) as text in the user's conventions or in ISO form
    // (DateFormatFlags), with the offset "+01:00" when asked.
    static std::string FormatDateTime(const OleDate& date, int32_t offset_seconds, uint32_t flags);
    // Appends the stretches of one UTC offset of the machine's zone between two local times,
    // found hour by hour.
    static void GetOffsetPeriods(const OleDate& start, const OleDate& end,
                                 std::vector<OffsetPeriod>* periods);
    // "Europe/Berlin1:0CEST1:0,M3.5.0/02:00:00,M10.5.0/03:00:00"; empty for a zone without a
    // key name or daylight time.
    static std::string GetPosixZoneText(const DynamicTimeZoneInformation& zone);

    // --- Zone database ---
    //
    // Zones by a small number: index 0 is the machine's zone, 1 and up the zones of the loaded
    // zone file in the byte order of their ids, -1 no zone. Paths are Windows paths.

    // Loads a zone file of boost's CSV format (a header line, then one zone a line). Each load
    // that succeeds replaces the zones before it; a file that cannot be read or parsed gives
    // false and changes nothing.
    static bool LoadZoneDatabase(const std::string& path);
    // Loads lines "Windows zone name<TAB>territory<TAB>zone id" (other lines are skipped). A
    // file that cannot be opened changes nothing and still gives true.
    static bool LoadZoneMapping(const std::string& path);
    static bool IsValidZoneIndex(int32_t index);
    static bool IsUsableZoneIndex(int32_t index, bool allow_machine_zone);
    // The index of an id in any ASCII case, -1 when the loaded file has no such zone.
    static int32_t GetZoneIndex(const std::string& zone_id);
    static std::string GetZoneId(int32_t index);
    static std::map<int32_t, std::string> GetZoneList();
    // The zone of an index; null for an index without zone.
    static boost::local_time::time_zone_ptr GetZone(int32_t index);
    // The zone mapped for a Windows zone name in a territory (else in "001"); -1 when none.
    static int32_t GetZoneIndexForRegion(const std::string& windows_zone_name,
                                         const std::string& territory);
    // The loaded zone of the machine's zone: mapped by its key name and the user's territory,
    // or, when the mapping does not know that name, the zone of that id.
    static int32_t GetMachineZoneIndex();
    // Local time of the zone minus UTC now, in seconds, less the shift while active (index 0:
    // GetUtcOffsetSeconds, which adds it; -1 and indexes without zone count as 0).
    static int32_t GetZoneUtcOffsetSeconds(int32_t index);
    static OleDate GetZoneOleDateTime(int32_t index);
    static bool IsDaylightSavingTime(int32_t index);
    // A time between UTC and a zone; the shift, while active, added to the zone's time or
    // subtracted from UTC. A local time the zone skips or repeats fails.
    static OleDate UtcToZoneTime(const OleDate& utc, int32_t index, bool keep_input_on_failure);
    static OleDate ZoneTimeToUtc(const OleDate& local, int32_t index, bool keep_input_on_failure);
    // A local time of one zone as the local time of another, without the shift.
    static OleDate ConvertBetweenZones(const OleDate& time, int32_t from_index, int32_t to_index,
                                       bool keep_input_on_failure);

    // Between boost times and OLE dates (milliseconds kept); a time that is no date is invalid.
    static OleDate PtimeToDate(const boost::posix_time::ptime& time);
    static boost::posix_time::ptime DateToPtime(const OleDate& date);
    // The user's short date and time (the date alone at midnight).
    static std::string PtimeToString(const boost::posix_time::ptime& time);
    // The fields of the time into the record, its day of the week left alone.
    static void PtimeToSystemTime(const boost::posix_time::ptime& time, SystemTime* record);
    static boost::posix_time::ptime SystemTimeToPtime(const SystemTime& record);
};

}  // namespace ruzd::foundation
