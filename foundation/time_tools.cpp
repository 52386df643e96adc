#include "foundation/time_tools.h"

#include <atomic>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <chrono>
#include <limits>
#include <mutex>
#include <optional>

#include "foundation/notice_listeners.h"
#include "foundation/static_tools.h"
#include "foundation/time_change_wnd.h"
#include "platform/local_time.h"
#include "platform/machine_zone.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

constexpr int64_t kMicrosPerSecond = 1000000;

std::atomic<int32_t> g_shift{0};
std::atomic<bool> g_shift_active{false};

// The zone cache: refreshed as a whole under its lock, read field by field without it.
std::mutex g_zone_mutex;
std::atomic<uint32_t> g_zone_state{kTimeZoneIdUnknown};
std::atomic<int32_t> g_bias_seconds{0};
std::atomic<int32_t> g_bias_and_shift_seconds{0};
std::atomic<uint64_t> g_refresh_count{0};
// The zone records, read and written under the zone's lock.
DynamicTimeZoneInformation& ZoneRecord() {
    static auto* record = new DynamicTimeZoneInformation();
    return *record;
}

std::mutex g_listeners_mutex;
NoticeListeners& ShiftListeners() {
    static auto* listeners = new NoticeListeners();
    return *listeners;
}

void EnsureZoneRead() {
    static std::once_flag once;
    std::call_once(once, [] { TimeTools::RefreshTimeZone(); });
}

int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               platform::CurrentClock().Now().time_since_epoch())
        .count();
}

int64_t FloorSeconds(int64_t micros) {
    const int64_t seconds = micros / kMicrosPerSecond;
    return (micros % kMicrosPerSecond < 0) ? seconds - 1 : seconds;
}

// The zone's offset (local minus UTC, seconds) at the given UTC time, and whether daylight
// time is in force then. A time the C library cannot break down counts as UTC.
int32_t ZoneOffsetAt(int64_t utc_seconds, bool* daylight = nullptr) {
    const std::optional<platform::LocalTime> local = platform::ToLocalTime(utc_seconds);
    if (daylight != nullptr)
        *daylight = local && local->daylight;
    return local ? local->utc_offset_seconds : 0;
}

int64_t ActiveShiftMicros() {
    return g_shift_active.load() ? static_cast<int64_t>(g_shift.load()) * kMicrosPerSecond : 0;
}

std::string FormatSystemTime(const SystemTime& t, bool with_date) {
    if (with_date) {
        return platform::Format("%04hu-%02hu-%02hu %02hu:%02hu:%02hu.%03hu", t.year, t.month, t.day,
                                t.hour, t.minute, t.second, t.milliseconds);
    }
    return platform::Format("%02hu:%02hu:%02hu.%03hu", t.hour, t.minute, t.second, t.milliseconds);
}

// The zone records of the machine's zone, the offsets taken over the year ahead of `now`: the
// standard time's offset from a moment without daylight saving, the daylight time's from one
// with it.
DynamicTimeZoneInformation ReadZoneRecord(int64_t now) {
    constexpr int64_t kMonthSeconds = 30 * 86400 + 43200;
    std::optional<int32_t> standard, daylight;
    for (int month = 0; month <= 12 && !(standard && daylight); ++month) {
        const std::optional<platform::LocalTime> local =
            platform::ToLocalTime(now + month * kMonthSeconds);
        if (!local) {
            continue;
        }
        std::optional<int32_t>& offset = local->daylight ? daylight : standard;
        if (!offset) {
            offset = local->utc_offset_seconds;
        }
    }
    const int32_t standard_offset = standard.value_or(daylight.value_or(0));
    const platform::MachineZone zone = platform::ReadMachineZone();
    DynamicTimeZoneInformation record;
    record.time_zone_key_name = zone.key_name;
    record.bias = -standard_offset / 60;
    record.standard_name = zone.standard_name;
    record.daylight_name = zone.daylight_name;
    if (daylight) {
        record.daylight_bias = -(*daylight - standard_offset) / 60;
        ReadTransitionDates(zone.posix_rule, &record.daylight_date, &record.standard_date);
    }
    return record;
}

// A field of the server's time text, read as the command parsers read numbers.
bool ReadField(std::string_view text, size_t pos, size_t len, int* value) {
    int32_t field = 0;
    if (!CStaticTools::StrToLongEx(text.substr(pos, len), &field))
        return false;
    *value = field;
    return true;
}

// The server's time text as microseconds since 1970 (UTC); false when it names no valid time.
bool ReadServerTime(std::string_view text, int64_t* micros) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadField(text, 0, 4, &year) || !ReadField(text, 5, 2, &month) ||
        !ReadField(text, 8, 2, &day) || !ReadField(text, 11, 2, &hour) ||
        !ReadField(text, 14, 2, &minute) || !ReadField(text, 17, 2, &second)) {
        return false;
    }
    const std::optional<SystemTime> t = MakeSystemTime(year, month, day, hour, minute, second);
    if (!t || year < 1601) {
        return false;
    }
    *micros = SecondsSinceEpoch(*t) * kMicrosPerSecond;
    return true;
}

// Rounds to the nearest second, halves away from zero.
int64_t RoundToSeconds(int64_t micros) {
    const int64_t half = kMicrosPerSecond / 2;
    return micros >= 0 ? (micros + half) / kMicrosPerSecond
                       : -((-micros + half) / kMicrosPerSecond);
}

}  // namespace

uint32_t TimeTools::RefreshTimeZone() {
    std::lock_guard lock(g_zone_mutex);
    platform::ReloadTimeZone();
    bool in_daylight = false;
    const int32_t bias = ZoneOffsetAt(FloorSeconds(NowMicros()), &in_daylight);
    // A zone without daylight saving reports "unknown", yet its offset is as real as any.
    const uint32_t state = !platform::TimeZoneHasDaylightTime()
                               ? kTimeZoneIdUnknown
                               : (in_daylight ? kTimeZoneIdDaylight : kTimeZoneIdStandard);
    g_zone_state.store(state);
    g_bias_seconds.store(bias);
    g_bias_and_shift_seconds.store(bias + g_shift.load());
    ZoneRecord() = ReadZoneRecord(FloorSeconds(NowMicros()));
    g_refresh_count.fetch_add(1);
    return state;
}

TimeZoneInformation TimeTools::GetTimeZoneInformation() {
    return GetDynamicTimeZoneInformation();
}

DynamicTimeZoneInformation TimeTools::GetDynamicTimeZoneInformation() {
    EnsureZoneRead();
    std::lock_guard lock(g_zone_mutex);
    return ZoneRecord();
}

uint64_t TimeTools::GetTimeZoneRefreshCount() {
    return g_refresh_count.load();
}

void TimeTools::ApplyServerTime(std::string_view text) {
    if (const std::optional<int32_t> shift = ServerTimeShiftOf(text))
        ApplyServerTimeShift(*shift);
}

std::optional<int32_t> TimeTools::ServerTimeShiftOf(std::string_view text) {
    if (text.size() < 19)
        return std::nullopt;
    int64_t server_micros = 0;
    if (!ReadServerTime(text, &server_micros))
        return std::nullopt;
    const int64_t shift = RoundToSeconds(NowMicros() - server_micros);
    if (shift < std::numeric_limits<int32_t>::min() || shift > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(shift);
}

void TimeTools::ApplyServerTimeShift(int32_t shift) {
    g_shift_active.store(true);
    const int32_t previous = g_shift.exchange(shift);
    RefreshTimeZone();
    if (previous != shift)
        NotifyShiftListeners();
}

std::string TimeTools::GetLocalIsoTimestamp() {
    const int64_t now = NowMicros();
    const SystemTime t = BreakDownMicros(now - ActiveShiftMicros());
    const int32_t offset =
        ZoneOffsetAt(FloorSeconds(now)) + (g_shift_active.load() ? g_shift.load() : 0);
    return platform::Format("%04d-%02d-%02dT%02d:%02d:%02d%+06d", t.year, t.month, t.day, t.hour,
                            t.minute, t.second, offset);
}

void TimeTools::RegisterShiftListener(const platform::WindowHandle& window, uint32_t thread_id,
                                      uint32_t message) {
    std::lock_guard lock(g_listeners_mutex);
    ShiftListeners().Register(window, thread_id, message);
}

void TimeTools::NotifyShiftListeners() {
    std::lock_guard lock(g_listeners_mutex);
    ShiftListeners().PostAll();
}

bool TimeTools::IsShiftListener(const platform::WindowHandle& window) {
    std::lock_guard lock(g_listeners_mutex);
    return ShiftListeners().Contains(window);
}

bool TimeTools::IsShiftListener(uint32_t thread_id) {
    std::lock_guard lock(g_listeners_mutex);
    return ShiftListeners().Contains(thread_id);
}

bool TimeTools::RegisterTimeChangeListener(const platform::WindowHandle& window, uint32_t thread_id,
                                           uint32_t message) {
    if (static_cast<bool>(window) == (thread_id != 0)) {
        return false;
    }
    CTimeChangeWnd::Instance().Register(window, thread_id, message);
    return true;
}

bool TimeTools::SetTimeChangeCallback(void (*callback)()) {
    CTimeChangeWnd::Instance().SetCallback(callback);
    return true;
}

bool TimeTools::IsTimeChangeListener(const platform::WindowHandle& window) {
    return CTimeChangeWnd::Instance().IsListener(window);
}

bool TimeTools::IsTimeChangeListener(uint32_t thread_id) {
    return CTimeChangeWnd::Instance().IsListener(thread_id);
}

uint32_t TimeTools::GetTimeChangeNoticeThreadId() {
    return CTimeChangeWnd::Instance().ThreadId();
}

int32_t TimeTools::GetUtcOffsetSeconds() {
    const int32_t zone = ZoneOffsetAt(FloorSeconds(NowMicros()));
    return zone + (g_shift_active.load() ? g_shift.load() : 0);
}

platform::WallTime TimeTools::GetUtcNow() {
    return platform::WallTime(std::chrono::microseconds(NowMicros() - ActiveShiftMicros()));
}

SystemTime TimeTools::GetUtcSystemTime() {
    return BreakDownMicros(NowMicros() - ActiveShiftMicros());
}

boost::posix_time::ptime TimeTools::GetUtcOleDateTime() {
    return SystemTimeToPtime(GetUtcSystemTime());
}

SystemTime TimeTools::GetLocalSystemTime() {
    const int64_t now = NowMicros();
    const int64_t local =
        now + static_cast<int64_t>(ZoneOffsetAt(FloorSeconds(now))) * kMicrosPerSecond;
    return BreakDownMicros(local - ActiveShiftMicros());
}

boost::posix_time::ptime TimeTools::GetLocalOleDateTime() {
    SystemTime local = GetLocalSystemTime();
    local.milliseconds = 0;
    return SystemTimeToPtime(local);
}

std::string TimeTools::FormatUtcTimestamp(bool with_date) {
    return FormatSystemTime(GetUtcSystemTime(), with_date);
}

std::string TimeTools::FormatLocalTimestamp(bool with_date) {
    // Time and offset from one reading, so that the two always agree.
    const int64_t now = NowMicros();
    const int32_t zone = ZoneOffsetAt(FloorSeconds(now));
    const int64_t shift = ActiveShiftMicros();
    const SystemTime local =
        BreakDownMicros(now + static_cast<int64_t>(zone) * kMicrosPerSecond - shift);
    const int32_t offset = zone + static_cast<int32_t>(shift / kMicrosPerSecond);
    return FormatSystemTime(local, with_date) + FormatHms(SplitSeconds(offset));
}

int32_t TimeTools::GetServerTimeShift() {
    return g_shift.load();
}

bool TimeTools::IsServerTimeShiftActive() {
    return g_shift_active.load();
}

void TimeTools::ResetServerTimeShift() {
    g_shift_active.store(false);
    g_shift.store(0);
    RefreshTimeZone();
}

int32_t TimeTools::GetBiasSeconds() {
    EnsureZoneRead();
    return g_bias_seconds.load();
}

int32_t TimeTools::GetBiasAndShiftSeconds() {
    EnsureZoneRead();
    return g_bias_and_shift_seconds.load();
}

HmsTriple TimeTools::SplitSeconds(int32_t value) {
    const uint32_t magnitude = value < 0 ? static_cast<uint32_t>(-(static_cast<int64_t>(value)))
                                         : static_cast<uint32_t>(value);
    HmsTriple triple;
    triple.negative = value < 0;
    triple.hours = magnitude / 3600;
    triple.minutes = static_cast<uint16_t>(magnitude % 3600 / 60);
    triple.seconds = static_cast<uint16_t>(magnitude % 60);
    return triple;
}

std::string TimeTools::FormatHms(const HmsTriple& triple) {
    return platform::Format("%c%u:%02hu:%02hu", triple.negative ? '-' : '+', triple.hours,
                            triple.minutes, triple.seconds);
}

}  // namespace ruzd::foundation
