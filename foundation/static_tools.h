#pragma once

// Strict parsers for the numbers of command parameters, the two splitters the command parsers
// use, the byte-size text and the machine's UTC offset.
//
// A parser accepts the whole text or reports failure, and never throws. Each text parser comes
// in two forms: `const char*`, where a null text is a failure like any other bad text, and
// `std::string_view`, which must be consumed whole (an embedded NUL is a character that is
// left over, so the text fails).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

class CStaticTools {
public:
    virtual ~CStaticTools() = default;

    // Signed 32-bit: blanks and tabs around the number are allowed, nothing else; values
    // outside -2147483648..2147483647 fail; a zero must be written with a leading '0' (so
    // "+0", "-0", "" and blank texts fail). `value` is written only on success.
    static bool StrToLongEx(const char* text, int32_t* value);
    static bool StrToLongEx(std::string_view text, int32_t* value);
    // The value, or 0 when the text is rejected.
    static int32_t StrToLong(const char* text);
    static int32_t StrToLong(std::string_view text);

    // Signed 16-bit: the signed 32-bit parse, then -32768..32767 only.
    static bool StrToShortEx(const char* text, int16_t* value);
    static bool StrToShortEx(std::string_view text, int16_t* value);
    static int16_t StrToShort(const char* text);
    static int16_t StrToShort(std::string_view text);

    // Unsigned 32-bit, with no range failure: a number beyond 4294967295 gives 4294967295,
    // and a leading '-' negates in unsigned arithmetic ("-1" gives 4294967295).
    static bool StrToULongEx(const char* text, uint32_t* value);
    static bool StrToULongEx(std::string_view text, uint32_t* value);
    static uint32_t StrToULong(const char* text);
    static uint32_t StrToULong(std::string_view text);

    // Signed 64-bit, with no range failure: a number beyond the range gives the nearest limit.
    static bool StrToInt64Ex(const char* text, int64_t* value);
    static bool StrToInt64Ex(std::string_view text, int64_t* value);
    static int64_t StrToInt64(const char* text);
    static int64_t StrToInt64(std::string_view text);

    // False only for the text "0" exactly; any other text, the empty and a null one included,
    // is true. The Ex form always succeeds.
    static bool StrToBoolEx(const char* text, bool* value);
    static bool StrToBoolEx(std::string_view text, bool* value);
    static bool StrToBool(const char* text);
    static bool StrToBool(std::string_view text);

    // A floating-point number in the current C locale. With `localeDecimalPoint` every '.' is
    // first replaced by the locale's decimal point, read once per process. `value` receives
    // the conversion even when trailing characters then make the parse fail. A zero must be
    // written with a leading "0" or "-0".
    static bool StrToDouble(std::string_view text, double* value, bool localeDecimalPoint);
    // The value, or 0.0 when the text is rejected.
    static double StrToDoubleValue(const char* text, bool localeDecimalPoint);
    static double StrToDoubleValue(std::string_view text, bool localeDecimalPoint);

    // "532 bytes", "1.45 KB", "10.0 MB", "100 GB": below 1024 the exact count, above it three
    // significant digits, truncated, in the largest unit that keeps the number below 1000.
    static std::string FormatByteSize(uint32_t bytes);
    // The same for sizes beyond 4 GB, up to EB.
    static std::string FormatByteSize64(uint64_t bytes);

    // Splits on runs of `separator` (leading and trailing ones give nothing) and keeps the
    // tokens that StrToLongEx accepts, as unsigned 32-bit values; the others are dropped.
    static void SplitToDWordArray(std::string_view text, char separator,
                                  std::vector<uint32_t>& values);
    // Splits on every `separator`: each one ends a field, empty or not; the rest after the
    // last one is a field only when it is not empty.
    static void SplitToStringArray(std::string_view text, char separator,
                                   std::vector<std::string>& fields);

    // UTC minus local time now, in whole minutes truncated toward zero (one hour east of UTC
    // gives -60); 0 when the local time cannot be had.
    static int32_t GetLocalUtcOffsetMinutes();
};

}  // namespace ruzd::foundation
