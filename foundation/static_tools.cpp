#include "foundation/static_tools.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>

#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

// The white space the C library's conversions skip before a number.
bool IsConversionSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// What a base-10 conversion of the C library (strtol and its relatives) reads from a text:
// leading white space, one sign, the digits. The magnitude saturates instead of wrapping, so
// every width can apply its own limit afterwards. `end` stays 0 when no digit was read, as the
// library then reports that nothing was consumed.
struct DecimalScan {
    bool negative = false;
    bool anyDigit = false;
    bool tooLarge = false;  // beyond what 64 bits hold
    uint64_t magnitude = 0;
    size_t end = 0;

    bool Exceeds(uint64_t limit) const { return tooLarge || magnitude > limit; }
};

DecimalScan ScanDecimal(std::string_view text) {
    DecimalScan scan;
    size_t pos = 0;
    while (pos < text.size() && IsConversionSpace(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        scan.negative = text[pos] == '-';
        ++pos;
    }
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        scan.anyDigit = true;
        const uint64_t digit = static_cast<uint64_t>(text[pos] - '0');
        if (scan.magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            scan.tooLarge = true;
        } else if (!scan.tooLarge) {
            scan.magnitude = scan.magnitude * 10 + digit;
        }
    }
    scan.end = scan.anyDigit ? pos : 0;
    return scan;
}

// The signed 32-bit conversion refuses what does not fit; the limits themselves fit.
bool ConvertSigned32(const DecimalScan& scan, int32_t* result) {
    if (scan.negative) {
        if (scan.Exceeds(uint64_t{1} << 31)) {
            return false;
        }
        *result = static_cast<int32_t>(-static_cast<int64_t>(scan.magnitude));
        return true;
    }
    if (scan.Exceeds(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    *result = static_cast<int32_t>(scan.magnitude);
    return true;
}

// The unsigned 32-bit conversion of the programs' original platform: anything beyond 32 bits
// saturates (a sign does not change that), otherwise a '-' negates modulo 2^32.
bool ConvertUnsigned32(const DecimalScan& scan, uint32_t* result) {
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    if (scan.Exceeds(kMax)) {
        *result = static_cast<uint32_t>(kMax);
    } else {
        const auto magnitude = static_cast<uint32_t>(scan.magnitude);
        *result = scan.negative ? 0u - magnitude : magnitude;
    }
    return true;
}

bool ConvertSigned64(const DecimalScan& scan, int64_t* result) {
    constexpr uint64_t kMinMagnitude = uint64_t{1} << 63;
    if (scan.negative) {
        if (scan.Exceeds(kMinMagnitude - 1)) {
            *result = std::numeric_limits<int64_t>::min();
        } else {
            *result = -static_cast<int64_t>(scan.magnitude);
        }
    } else if (scan.Exceeds(std::numeric_limits<int64_t>::max())) {
        *result = std::numeric_limits<int64_t>::max();
    } else {
        *result = static_cast<int64_t>(scan.magnitude);
    }
    return true;
}

// The steps every strict integer parser shares: blanks and tabs may surround the number,
// nothing else may follow it, and a zero counts only when the text really starts with '0'
// (so a sign before a zero, and any text without digits, fails).
template <typename T, typename Convert>
bool ParseStrict(std::string_view text, T* value, Convert convert) {
    if (value == nullptr) {
        return false;
    }
    size_t start = 0;
    while (start < text.size() && IsBlankOrTab(text[start])) {
        ++start;
    }
    const char first = start < text.size() ? text[start] : '\0';
    const DecimalScan scan = ScanDecimal(text.substr(start));
    T result{};
    if (!convert(scan, &result)) {
        return false;
    }
    if (result == 0 && first != '0') {
        return false;
    }
    size_t rest = start + scan.end;
    while (rest < text.size() && IsBlankOrTab(text[rest])) {
        ++rest;
    }
    if (rest != text.size()) {
        return false;
    }
    *value = result;
    return true;
}

void ReplaceAll(std::string& text, char from, const std::string& to) {
    for (size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, 1, to);
    }
}

}  // namespace

std::string CStaticTools::LocaleDecimalPoint() {
    static std::mutex mutex;
    static std::string cached;
    std::lock_guard<std::mutex> lock(mutex);
    if (cached.empty()) {
        const std::lconv* conventions = std::localeconv();
        if (conventions != nullptr && conventions->decimal_point != nullptr) {
            cached = conventions->decimal_point;
        }
    }
    return cached;
}

bool CStaticTools::StrToLongEx(std::string_view text, int32_t* value) {
    return ParseStrict(text, value, ConvertSigned32);
}

bool CStaticTools::StrToLongEx(const char* text, int32_t* value) {
    return text != nullptr && StrToLongEx(std::string_view(text), value);
}

int32_t CStaticTools::StrToLong(std::string_view text) {
    int32_t value = 0;
    return StrToLongEx(text, &value) ? value : 0;
}

int32_t CStaticTools::StrToLong(const char* text) {
    int32_t value = 0;
    return StrToLongEx(text, &value) ? value : 0;
}

bool CStaticTools::StrToShortEx(std::string_view text, int16_t* value) {
    int32_t wide = 0;
    if (value == nullptr || !StrToLongEx(text, &wide) ||
        wide < std::numeric_limits<int16_t>::min() || wide > std::numeric_limits<int16_t>::max()) {
        return false;
    }
    *value = static_cast<int16_t>(wide);
    return true;
}

bool CStaticTools::StrToShortEx(const char* text, int16_t* value) {
    return text != nullptr && StrToShortEx(std::string_view(text), value);
}

int16_t CStaticTools::StrToShort(std::string_view text) {
    int16_t value = 0;
    return StrToShortEx(text, &value) ? value : 0;
}

int16_t CStaticTools::StrToShort(const char* text) {
    int16_t value = 0;
    return StrToShortEx(text, &value) ? value : 0;
}

bool CStaticTools::StrToULongEx(std::string_view text, uint32_t* value) {
    return ParseStrict(text, value, ConvertUnsigned32);
}

bool CStaticTools::StrToULongEx(const char* text, uint32_t* value) {
    return text != nullptr && StrToULongEx(std::string_view(text), value);
}

uint32_t CStaticTools::StrToULong(std::string_view text) {
    uint32_t value = 0;
    return StrToULongEx(text, &value) ? value : 0;
}

uint32_t CStaticTools::StrToULong(const char* text) {
    uint32_t value = 0;
    return StrToULongEx(text, &value) ? value : 0;
}

bool CStaticTools::StrToInt64Ex(std::string_view text, int64_t* value) {
    return ParseStrict(text, value, ConvertSigned64);
}

bool CStaticTools::StrToInt64Ex(const char* text, int64_t* value) {
    return text != nullptr && StrToInt64Ex(std::string_view(text), value);
}

int64_t CStaticTools::StrToInt64(std::string_view text) {
    int64_t value = 0;
    return StrToInt64Ex(text, &value) ? value : 0;
}

int64_t CStaticTools::StrToInt64(const char* text) {
    int64_t value = 0;
    return StrToInt64Ex(text, &value) ? value : 0;
}

bool CStaticTools::StrToBoolEx(std::string_view text, bool* value) {
    if (value != nullptr) {
        *value = text != "0";
    }
    return true;
}

bool CStaticTools::StrToBoolEx(const char* text, bool* value) {
    if (value != nullptr) {
        *value = text == nullptr || std::string_view(text) != "0";
    }
    return true;
}

bool CStaticTools::StrToBool(std::string_view text) {
    return text != "0";
}

bool CStaticTools::StrToBool(const char* text) {
    return text == nullptr || std::string_view(text) != "0";
}

bool CStaticTools::StrToDouble(std::string_view text, double* value, bool localeDecimalPoint) {
    size_t start = 0;
    while (start < text.size() && IsConversionSpace(text[start])) {
        ++start;
    }
    std::string number(text.substr(start));
    if (number.empty()) {
        return false;
    }
    if (localeDecimalPoint) {
        // An empty decimal point would delete the dots and turn "1.5" into fifteen.
        const std::string point = LocaleDecimalPoint();
        if (!point.empty() && point != ".") {
            ReplaceAll(number, '.', point);
        }
    }
    char* end = nullptr;
    const double result = std::strtod(number.c_str(), &end);
    if (value != nullptr) {
        *value = result;
    }
    const bool writtenAsZero =
        number[0] == '0' || (number[0] == '-' && number.size() > 1 && number[1] == '0');
    if (result == 0.0 && !writtenAsZero) {
        return false;
    }
    size_t rest = static_cast<size_t>(end - number.c_str());
    while (rest < number.size() && IsBlankOrTab(number[rest])) {
        ++rest;
    }
    return rest == number.size();
}

double CStaticTools::StrToDoubleValue(std::string_view text, bool localeDecimalPoint) {
    double value = 0.0;
    return StrToDouble(text, &value, localeDecimalPoint) ? value : 0.0;
}

double CStaticTools::StrToDoubleValue(const char* text, bool localeDecimalPoint) {
    return text == nullptr ? 0.0 : StrToDoubleValue(std::string_view(text), localeDecimalPoint);
}

std::string CStaticTools::FormatByteSize(uint32_t bytes) {
    return FormatByteSize64(bytes);
}

std::string CStaticTools::FormatByteSize64(uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    constexpr size_t kLastUnit = sizeof(kUnits) / sizeof(kUnits[0]) - 1;
    // Move up a unit while the count would need four digits: 1000 KB reads "0.97 MB".
    size_t unit = 0;
    unsigned __int128 divisor = 1024;
    while (unit < kLastUnit && bytes / divisor >= 1000) {
        divisor *= 1024;
        ++unit;
    }
    // Hundredths of the unit, truncated; 128 bits because bytes * 100 outgrows 64.
    const auto hundredths =
        static_cast<unsigned long long>(static_cast<unsigned __int128>(bytes) * 100 / divisor);
    const unsigned long long whole = hundredths / 100;
    if (whole < 10) {
        return platform::Format("%llu.%02llu %s", whole, hundredths % 100, kUnits[unit]);
    }
    if (whole < 100) {
        return platform::Format("%llu.%llu %s", whole, hundredths / 10 % 10, kUnits[unit]);
    }
    return platform::Format("%llu %s", whole, kUnits[unit]);
}

void CStaticTools::ForEachToken(std::string_view text, char separator,
                                const std::function<void(std::string_view)>& take) {
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == separator) {
            ++pos;
        }
        if (pos == text.size()) {
            break;
        }
        size_t end = text.find(separator, pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        take(text.substr(pos, end - pos));
        pos = end;
    }
}

void CStaticTools::SplitToDWordArray(std::string_view text, char separator,
                                     std::vector<uint32_t>& values) {
    values.clear();
    ForEachToken(text, separator, [&values](std::string_view token) {
        int32_t value = 0;
        if (StrToLongEx(token, &value)) {
            values.push_back(static_cast<uint32_t>(value));
        }
    });
}

void CStaticTools::SplitToStringArray(std::string_view text, char separator,
                                      std::vector<std::string>& fields) {
    fields.clear();
    size_t start = 0;
    for (size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] == separator) {
            fields.emplace_back(text.substr(start, pos - start));
            start = pos + 1;
        }
    }
    if (start < text.size()) {
        fields.emplace_back(text.substr(start));
    }
}

int32_t CStaticTools::GetLocalUtcOffsetMinutes() {
    // The zone may have been changed since the last call; read it again. The time comes from
    // the process-wide clock, so that a test clock also decides which side of a daylight-saving
    // change the offset is taken from.
    platform::ReloadTimeZone();
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            platform::CurrentClock().Now().time_since_epoch())
                            .count();
    const std::optional<platform::LocalTime> local = platform::ToLocalTime(now);
    return local ? -local->utc_offset_seconds / 60 : 0;
}

}  // namespace ruzd::foundation
