#include "foundation/machine_zone_dates.h"

#include <algorithm>
#include <cmath>

#include "platform/local_time.h"

namespace ruzd::foundation {

OleDate FailedDate(const OleDate& input, bool keep_input_on_failure) {
    if (input.IsNull()) {
        return kNullOleDate;
    }
    return keep_input_on_failure ? input : kInvalidOleDate;
}

std::optional<OleDate> MachineUtcToLocal(const OleDate& utc, int32_t shift_seconds) {
    const std::optional<int64_t> seconds = utc.ToEpochSeconds();
    if (!seconds) {
        return std::nullopt;
    }
    const std::optional<platform::LocalTime> local =
        platform::ToLocalTime(*seconds + shift_seconds);
    if (!local) {
        return std::nullopt;
    }
    const OleDate date = OleDate::FromFields(local->year, local->month, local->day, local->hour,
                                             local->minute, local->second);
    return date.IsValid() ? std::optional<OleDate>(date) : std::nullopt;
}

std::optional<OleDate> MachineLocalToUtc(const OleDate& local, int32_t shift_seconds) {
    const std::optional<SystemTime> fields = local.ToSystemTime();
    if (!fields) {
        return std::nullopt;
    }
    const std::optional<int64_t> utc = platform::LocalTimeToUtcSeconds(
        fields->year, fields->month, fields->day, fields->hour, fields->minute, fields->second);
    if (!utc) {
        return std::nullopt;
    }
    const OleDate date = OleDate::FromEpochSeconds(*utc - shift_seconds);
    return date.IsValid() ? std::optional<OleDate>(date) : std::nullopt;
}

int32_t MillisecondsOfDay(const OleDate& date) {
    // To the microsecond first: a date near 10:00 may be stored as 09:59:59.9999999.
    const auto micros = std::llround(date.TimeOfDay() * 86400e6);
    return static_cast<int32_t>(std::min<long long>(micros / 1000, 86399999));
}

}  // namespace ruzd::foundation
