// TimeTools: the database of named zones and the conversions between boost times and OLE dates.

#include <boost/date_time/local_time/local_time.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include "foundation/machine_zone_dates.h"
#include "foundation/time_tools.h"
#include "foundation/zone_database.h"
#include "platform/local_time.h"
#include "platform/regular_file.h"
#include "platform/user_locale.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

using boost::local_time::local_date_time;
using boost::local_time::time_zone_ptr;
using boost::posix_time::ptime;

std::optional<std::string> ReadWholeFile(const std::string& windows_path) {
    std::string content;
    if (platform::ReadRegularFile(platform::MapWindowsPath(windows_path), content) != 0) {
        return std::nullopt;
    }
    return content;
}

int32_t ActiveShift() {
    return TimeTools::IsServerTimeShiftActive() ? TimeTools::GetServerTimeShift() : 0;
}

ptime UtcNow() {
    return TimeTools::SystemTimeToPtime(
        BreakDownMicros(std::chrono::duration_cast<std::chrono::microseconds>(
                            platform::CurrentClock().Now().time_since_epoch())
                            .count()));
}

// The zone of an index of the database (not 0); null when it has none.
time_zone_ptr ZoneOf(int32_t index) {
    return index > 0 ? ZoneDatabase::Instance().Zone(index) : nullptr;
}

// A UTC time as the zone's local time and back, moved by `shift_seconds`; none when the zone
// skips or repeats the local time, or boost refuses the time.
std::optional<OleDate> ZoneOfUtc(const OleDate& utc, const time_zone_ptr& zone,
                                 int32_t shift_seconds = 0) {
    try {
        const ptime time = TimeTools::DateToPtime(utc);
        if (time.is_special()) {
            return std::nullopt;
        }
        const OleDate local = TimeTools::PtimeToDate(local_date_time(time, zone).local_time() +
                                                     boost::posix_time::seconds(shift_seconds));
        return local.IsValid() ? std::optional<OleDate>(local) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<OleDate> UtcOfZone(const OleDate& local, const time_zone_ptr& zone,
                                 int32_t shift_seconds = 0) {
    try {
        const ptime time = TimeTools::DateToPtime(local);
        if (time.is_special()) {
            return std::nullopt;
        }
        const local_date_time zoned(time.date(), time.time_of_day(), zone,
                                    local_date_time::NOT_DATE_TIME_ON_ERROR);
        if (zoned.is_special()) {
            return std::nullopt;
        }
        const OleDate utc =
            TimeTools::PtimeToDate(zoned.utc_time() + boost::posix_time::seconds(shift_seconds));
        return utc.IsValid() ? std::optional<OleDate>(utc) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

bool TimeTools::LoadZoneDatabase(const std::string& path) {
    const std::optional<std::string> text = ReadWholeFile(path);
    return text && ZoneDatabase::Instance().Load(*text);
}

bool TimeTools::LoadZoneMapping(const std::string& path) {
    if (const std::optional<std::string> text = ReadWholeFile(path)) {
        ZoneDatabase::Instance().LoadMapping(*text);
    }
    return true;
}

bool TimeTools::IsValidZoneIndex(int32_t index) {
    return index >= 1 && !ZoneDatabase::Instance().IdOf(index).empty();
}

bool TimeTools::IsUsableZoneIndex(int32_t index, bool allow_machine_zone) {
    if (index < 0) {
        return false;
    }
    return index == 0 ? allow_machine_zone : IsValidZoneIndex(index);
}

int32_t TimeTools::GetZoneIndex(const std::string& zone_id) {
    return ZoneDatabase::Instance().IndexOf(zone_id);
}

std::string TimeTools::GetZoneId(int32_t index) {
    return ZoneDatabase::Instance().IdOf(index);
}

std::map<int32_t, std::string> TimeTools::GetZoneList() {
    return ZoneDatabase::Instance().Ids();
}

time_zone_ptr TimeTools::GetZone(int32_t index) {
    return ZoneDatabase::Instance().Zone(index);
}

int32_t TimeTools::GetZoneIndexForRegion(const std::string& windows_zone_name,
                                         const std::string& territory) {
    return ZoneDatabase::Instance().IndexForRegion(windows_zone_name, territory);
}

int32_t TimeTools::GetMachineZoneIndex() {
    const std::string name = GetDynamicTimeZoneInformation().time_zone_key_name;
    // The machine names its zone by its IANA id, which a mapping of Windows names may lack.
    if (!ZoneDatabase::Instance().MapsName(name)) {
        return GetZoneIndex(name);
    }
    return GetZoneIndexForRegion(name, platform::UserTerritory());
}

int32_t TimeTools::GetZoneUtcOffsetSeconds(int32_t index) {
    if (index == 0 || !IsValidZoneIndex(index)) {
        return GetUtcOffsetSeconds();
    }
    const time_zone_ptr zone = ZoneOf(index);
    if (!zone) {
        return 0;
    }
    try {
        const ptime now = UtcNow();
        const ptime local =
            local_date_time(now, zone).local_time() - boost::posix_time::seconds(ActiveShift());
        return static_cast<int32_t>((local - now).total_seconds());
    } catch (const std::exception&) {
        return 0;
    }
}

OleDate TimeTools::GetZoneOleDateTime(int32_t index) {
    if (index == 0) {
        return PtimeToDate(GetLocalOleDateTime());
    }
    const time_zone_ptr zone = ZoneOf(index);
    if (!zone) {
        return kInvalidOleDate;
    }
    try {
        const ptime now = UtcNow() - boost::posix_time::seconds(ActiveShift());
        return PtimeToDate(local_date_time(now, zone).local_time());
    } catch (const std::exception&) {
        return kInvalidOleDate;
    }
}

bool TimeTools::IsDaylightSavingTime(int32_t index) {
    if (index == 0) {
        const std::optional<platform::LocalTime> local =
            platform::ToLocalTime(platform::NowSeconds());
        return local && local->daylight;
    }
    const time_zone_ptr zone = ZoneOf(index);
    if (!zone) {
        return false;
    }
    try {
        const ptime now = UtcNow() - boost::posix_time::seconds(ActiveShift());
        return local_date_time(now, zone).is_dst();
    } catch (const std::exception&) {
        return false;
    }
}

OleDate TimeTools::UtcToZoneTime(const OleDate& utc, int32_t index, bool keep_input_on_failure) {
    if (index == 0) {
        return UtcToLocalTime(utc, keep_input_on_failure);
    }
    const time_zone_ptr zone = ZoneOf(index);
    if (!utc.IsValid() || !zone) {
        return FailedDate(utc, keep_input_on_failure);
    }
    const std::optional<OleDate> local = ZoneOfUtc(utc, zone, ActiveShift());
    return local ? *local : FailedDate(utc, keep_input_on_failure);
}

OleDate TimeTools::ZoneTimeToUtc(const OleDate& local, int32_t index, bool keep_input_on_failure) {
    if (index == 0) {
        return LocalTimeToUtc(local, keep_input_on_failure);
    }
    const time_zone_ptr zone = ZoneOf(index);
    if (!local.IsValid() || !zone) {
        return FailedDate(local, keep_input_on_failure);
    }
    const std::optional<OleDate> utc = UtcOfZone(local, zone);
    const OleDate shifted = utc ? *utc - OleDateSpan::FromSeconds(ActiveShift()) : kInvalidOleDate;
    return shifted.IsValid() ? shifted : FailedDate(local, keep_input_on_failure);
}

OleDate TimeTools::ConvertBetweenZones(const OleDate& time, int32_t from_index, int32_t to_index,
                                       bool keep_input_on_failure) {
    if (from_index == to_index) {
        return time;
    }
    if (!time.IsValid()) {
        return FailedDate(time, keep_input_on_failure);
    }
    // Through UTC, without the shift; a step that fails fails the whole.
    std::optional<OleDate> utc;
    if (from_index == 0) {
        utc = MachineLocalToUtc(time);
    } else if (const time_zone_ptr zone = ZoneOf(from_index)) {
        utc = UtcOfZone(time, zone);
    }
    std::optional<OleDate> target;
    if (!utc) {
        // nothing to convert further
    } else if (to_index == 0) {
        target = MachineUtcToLocal(*utc);
    } else if (const time_zone_ptr zone = ZoneOf(to_index)) {
        target = ZoneOfUtc(*utc, zone);
    }
    return target ? *target : FailedDate(time, keep_input_on_failure);
}

OleDate TimeTools::PtimeToDate(const ptime& time) {
    if (time.is_special()) {
        return kInvalidOleDate;
    }
    const boost::gregorian::date day = time.date();
    const boost::posix_time::time_duration of_day = time.time_of_day();
    const OleDate whole =
        OleDate::FromFields(day.year(), day.month(), day.day(), static_cast<int>(of_day.hours()),
                            static_cast<int>(of_day.minutes()), static_cast<int>(of_day.seconds()));
    const int64_t milliseconds =
        of_day.fractional_seconds() * 1000 / boost::posix_time::time_duration::ticks_per_second();
    return whole + OleDateSpan(static_cast<double>(milliseconds) / 86400000.0);
}

ptime TimeTools::DateToPtime(const OleDate& date) {
    const std::optional<SystemTime> day =
        date.IsValid() ? OleDate(date.WholeDays(), OleDateStatus::kValid).ToSystemTime()
                       : std::nullopt;
    if (!day) {
        return ptime(boost::posix_time::not_a_date_time);
    }
    return ptime(boost::gregorian::date(day->year, day->month, day->day),
                 boost::posix_time::milliseconds(MillisecondsOfDay(date)));
}

std::string TimeTools::PtimeToString(const ptime& time) {
    const std::optional<SystemTime> t = PtimeToDate(time).ToSystemTime();
    if (!t) {
        return "";
    }
    const platform::TimePictures pictures = platform::UserTimePictures();
    std::string text = platform::FormatUserTime(pictures.short_date, t->year, t->month, t->day,
                                                t->hour, t->minute, t->second);
    if (t->hour != 0 || t->minute != 0 || t->second != 0) {
        text += " " + platform::FormatUserTime(pictures.time, t->year, t->month, t->day, t->hour,
                                               t->minute, t->second);
    }
    return text;
}

void TimeTools::PtimeToSystemTime(const ptime& time, SystemTime* record) {
    if (time.is_special()) {
        return;
    }
    const boost::gregorian::date day = time.date();
    const boost::posix_time::time_duration of_day = time.time_of_day();
    record->year = static_cast<uint16_t>(day.year());
    record->month = static_cast<uint16_t>(day.month());
    record->day = static_cast<uint16_t>(day.day());
    record->hour = static_cast<uint16_t>(of_day.hours());
    record->minute = static_cast<uint16_t>(of_day.minutes());
    record->second = static_cast<uint16_t>(of_day.seconds());
    record->milliseconds = static_cast<uint16_t>(
        of_day.fractional_seconds() * 1000 / boost::posix_time::time_duration::ticks_per_second());
}

ptime TimeTools::SystemTimeToPtime(const SystemTime& record) {
    try {
        return ptime(boost::gregorian::date(record.year, record.month, record.day),
                     boost::posix_time::hours(record.hour) +
                         boost::posix_time::minutes(record.minute) +
                         boost::posix_time::seconds(record.second) +
                         boost::posix_time::microseconds(record.milliseconds * 1000));
    } catch (const std::exception&) {
        return ptime(boost::posix_time::not_a_date_time);
    }
}

}  // namespace ruzd::foundation
