#include "foundation/zip_times.h"

#include <chrono>
#include <optional>

#include "platform/local_time.h"

namespace ruzd::foundation {
namespace {

using std::chrono::days;
using std::chrono::seconds;
using std::chrono::sys_days;

// 100-nanosecond steps from 1 January 1601 to 1 January 1970.
constexpr int64_t kFileTimeOfUnixEpoch = 116444736000000000;

}  // namespace

uint64_t FileTimeOf(platform::WallTime time) {
    const int64_t steps =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count() /
            100 +
        kFileTimeOfUnixEpoch;
    return steps < 0 ? 0 : static_cast<uint64_t>(steps);
}

platform::WallTime WallTimeOfFileTime(uint64_t file_time) {
    const int64_t steps = static_cast<int64_t>(file_time) - kFileTimeOfUnixEpoch;
    return platform::WallTime(std::chrono::duration_cast<platform::WallTime::duration>(
        std::chrono::nanoseconds(steps * 100)));
}

DosDateTime DosDateTimeOf(platform::WallTime time) {
    const int64_t utc = std::chrono::floor<seconds>(time.time_since_epoch()).count();
    const std::optional<platform::LocalTime> local = platform::ToLocalTime(utc);
    if (!local || local->year < 1980) {
        return DosDateTime{(0 << 9) | (1 << 5) | 1, 0};
    }
    const int year = local->year > 2107 ? 2107 : local->year;
    DosDateTime dos;
    dos.date = static_cast<uint16_t>(((year - 1980) << 9) | (local->month << 5) | local->day);
    dos.time =
        static_cast<uint16_t>((local->hour << 11) | (local->minute << 5) | (local->second / 2));
    return dos;
}

platform::WallTime WallTimeOfDos(uint16_t dos_date, uint16_t dos_time) {
    const int year = 1980 + (dos_date >> 9);
    const int month = (dos_date >> 5) & 0x0F;
    const int day = dos_date & 0x1F;
    const int hour = dos_time >> 11;
    const int minute = (dos_time >> 5) & 0x3F;
    const int second = (dos_time & 0x1F) * 2;
    std::optional<int64_t> utc =
        platform::LocalTimeToUtcSeconds(year, month, day, hour, minute, second);
    if (!utc) {
        const sys_days date =
            std::chrono::year{year} / std::chrono::month(month) / std::chrono::day(day);
        utc = date.time_since_epoch().count() * 86400 + hour * 3600 + minute * 60 + second;
    }
    return platform::WallTime(seconds(*utc));
}

uint32_t ZipUnixTimeOf(platform::WallTime time) {
    const int64_t utc = std::chrono::floor<seconds>(time.time_since_epoch()).count();
    const int64_t day = utc >= 0 ? utc / 86400 : (utc - 86399) / 86400;
    const int64_t time_of_day = utc - day * 86400;
    const std::chrono::year_month_day date{sys_days(days(day))};
    if (date.year() < std::chrono::year(1970)) {
        return static_cast<uint32_t>(time_of_day);
    }
    if (date.year() >= std::chrono::year(2038)) {
        const sys_days last = std::chrono::year(2037) / std::chrono::December / 31;
        return static_cast<uint32_t>(last.time_since_epoch().count() * 86400 + time_of_day);
    }
    return static_cast<uint32_t>(utc);
}

}  // namespace ruzd::foundation
