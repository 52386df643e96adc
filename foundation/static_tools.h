#pragma once

// Strict parsers for the numbers of command parameters, the two splitters the command parsers
// use, the byte-size text and the machine's UTC offset; and the general utilities beside them:
// number and date formats, ISO-8601 text, splitting into and joining of collections, version
// comparison, edit distance, file-name cleaning, password masking, HTML, UTF-8, percent and
// base64 text, and variants.
//
// A parser accepts the whole text or reports failure, and never throws. Each text parser comes
// in two forms: `const char*`, where a null text is a failure like any other bad text, and
// `std::string_view`, which must be consumed whole (an embedded NUL is a character that is
// left over, so the text fails).
//
// Texts are UTF-8; the wide forms take and give UTF-16. Positions in texts count bytes. Dates
// are OLE dates (foundation/ole_date.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/ole_date.h"
#include "foundation/variant_value.h"

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

    // --- Formatting ---

    static std::string FormatInt(int32_t value);   // "%d"
    static std::string FormatLong(int32_t value);  // "%ld" of a 32-bit long
    // "%.15g" as the C locale writes it; with `localeDecimalPoint` the point is then the one of
    // the process's locale (as StrToDouble reads it).
    static std::string FormatDouble(double value, bool localeDecimalPoint);
    // The shortest of "%.15g", "%.16g" and "%.17g" that reads back as the same value; "%.18g"
    // when none does (a NaN).
    static std::string FormatDoubleRoundTrip(double value, bool localeDecimalPoint);
    static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // The text registered under `id` (foundation/resource_strings.h) used as the format; ""
    // when there is none.
    static std::string FormatResource(uint32_t id, ...);
    // The description of a Win32 error code; "" for a code without one.
    static std::string FormatSystemMessage(uint32_t code);

    // --- Dates and times ---

    // "(invalid)" and "(null)" for such dates; else "2026-07-01T14:00:05" (rounded to the
    // second) or, with milliseconds, "2026-07-01T14:00:05.250" (cut from the time of day).
    static std::string ToIso8601(const OleDate& date, bool withMilliseconds);
    // "(null)" gives the null date. Otherwise four digits of year, then, each optional in this
    // order and the text allowed to end after each: "-MM", "-DD", "Thh", ":mm", ":ss", and then
    // "Z", or ".fff" (digits, the first three the milliseconds) with an optional "Z" or zone
    // "+hh:mm" / "-hh:mm", or the zone alone. The result is UTC: a zone "+01:00" subtracts an
    // hour. Anything else is the invalid date.
    static OleDate FromIso8601(std::string_view text);
    // The date plus the milliseconds, fractions of a day kept; a date that is not valid stays.
    static OleDate AddMilliseconds(const OleDate& date, int32_t milliseconds);
    // Reads "2026-07-01", "07/01/2026" (month first) and the ISO forms with a time
    // ("2026-07-01T14:00:05Z", also with a blank for the 'T'; a zone is taken to UTC), or a
    // US date followed by "hh:mm" or "hh:mm:ss". With `dateOnly` the time is dropped. The
    // invalid date for anything else.
    static OleDate ParseDateTime(std::string_view text, bool dateOnly);
    // The date of the text (its time dropped) as "%Y-%m-%d" when it is valid and after day 0;
    // "INVALID DATE" otherwise.
    static std::string FormatDate(std::string_view text);
    // The date and time of the text in the user's "%x %X"; "INVALID DATE" when it is not valid.
    static std::string FormatDateAndTime(std::string_view text);
    // Between UTC and local time by the C library's zone rules at that date; a date that is not
    // valid or cannot be converted is given back as it is.
    static OleDate UtcToLocal(const OleDate& date);
    static OleDate LocalToUtc(const OleDate& date);
    // A local date from 1970 on as seconds since 1970 (a CTime); 0 for earlier or bad dates.
    static int64_t ToCTime(const OleDate& date);
    // The local date of seconds since 1970; 0 and -1 give the null date.
    static OleDate FromCTime(int64_t time);
    // -1, 0 or 1 as `a` is earlier than, equal to or later than `b`. The null date sorts before
    // every other, an invalid one after the null and before every valid one.
    static int CompareDates(const OleDate& a, const OleDate& b);
    // The time of day of an OLE date value in seconds.
    static double SecondsOfDay(double date);

    // --- Collections ---
    //
    // A split empties the target first and cuts the text on one separator, so that empty fields
    // vanish; tokens that the element's parser refuses are skipped. A join writes each element
    // followed by the separator, except after the last; text elements lose every separator
    // character first.

    static void SplitToULongArray(std::string_view text, char separator,
                                  std::vector<uint32_t>& values);
    static void SplitToDoubleArray(std::string_view text, char separator,
                                   std::vector<double>& values, bool localeDecimalPoint);
    static void SplitToTokens(std::string_view text, char separator,
                              std::vector<std::string>& tokens);
    static void SplitToTokenList(std::string_view text, char separator,
                                 std::list<std::string>& tokens);
    static void SplitToLongList(std::string_view text, char separator, std::list<int32_t>& values);
    static void SplitToLongArray(std::string_view text, char separator,
                                 std::vector<int32_t>& values);
    static void SplitToLongSet(std::string_view text, char separator, std::set<int32_t>& values);

    static std::string JoinStrings(const std::vector<std::string>& texts, char separator);
    // With `trailingSeparator` the last element is followed by the separator too.
    static std::string JoinLongList(const std::list<int32_t>& values, char separator,
                                    bool trailingSeparator);
    static std::string JoinLongs(const std::vector<int32_t>& values, char separator);
    static std::string JoinLongSet(const std::set<int32_t>& values, char separator);
    static std::string JoinUnsigned(const std::vector<uint32_t>& values, char separator);

    // Each text parsed by StrToLongEx; one that fails gives 2147483647.
    static std::vector<int32_t> TextsToNumbers(const std::vector<std::string>& texts);
    // True when both have as many elements and every element of `a` occurs in `b`.
    static bool SameNumbers(const std::vector<int32_t>& a, const std::vector<int32_t>& b);
    static std::set<int32_t> NumbersToSet(const std::vector<int32_t>& values);
    static std::vector<int32_t> SetToNumbers(const std::set<int32_t>& values);
    // Sorted, each value once.
    static void SortUnique(std::vector<int32_t>& values);

    // The memory a value takes, as the programs report it: a text counts two bytes a UTF-16
    // unit, plus 4 unless only the contents count; an array of numbers 4 bytes an element plus
    // 20; an array of texts its texts plus 20; a map of texts 20 bytes an entry and its texts,
    // plus 8; a vector 24 bytes an element plus 8.
    static size_t EstimateTextSize(std::string_view text, bool contentsOnly);
    static size_t EstimateDWordArraySize(const std::vector<uint32_t>& values);
    static size_t EstimateStringArraySize(const std::vector<std::string>& texts);
    static size_t EstimateStringMapSize(const std::map<std::string, std::string>& texts);
    static size_t EstimateVectorSize(size_t elements);

    // --- Texts ---

    // Both split on '.' into numbers (empty and other parts vanish). Equal counts compare every
    // part, or all but the last with `ignoreLast`; counts that differ by one compare the shorter
    // count, but only with `ignoreLast`; otherwise -2. 1 when the first part that differs is
    // smaller in `a`, -1 when it is larger, 0 when all are equal.
    static int CompareVersions(std::string_view a, std::string_view b, bool ignoreLast);
    // The unrestricted Damerau-Levenshtein distance between the two texts, in code points.
    static int DamerauLevenshtein(std::string_view a, std::string_view b);
    // Removes \ / : * ? " < > | and ;, then trailing dots and blanks.
    static void MakeValidFileName(std::string& name);
    static std::string ValidFileName(std::string_view name);
    // The value after "PWD=" (up to the next ';') becomes "*****".
    static std::string MaskPassword(std::string_view text);
    static void RemoveChar(std::string& text, char c);
    // The first position of the pattern ignoring case, -1 when there is none or it is empty.
    static int FindNoCase(std::string_view text, std::string_view pattern);
    // Replaces every occurrence ignoring case, left to right; an empty pattern changes nothing.
    static void ReplaceNoCase(std::string& text, std::string_view pattern,
                              std::string_view replacement);
    // Within four units in the last place; a NaN equals nothing.
    static bool AlmostEqual(double a, double b);
    // The first number of the text (a run of digits, ',' and '.', with a sign directly before
    // it that does not end another number) in `low`, the next one in `high` (`low` again when
    // there is none or it does not parse). False for an empty text or a first number missing or
    // not parsing.
    static bool ParseNumberRange(std::string_view text, double* low, double* high);
    // The text before its last '.'; true when that is not empty.
    static bool GetTextBeforeLastDot(std::string_view text, std::string& result);
    // Every "&#NN;" with a decimal code point becomes that character.
    static std::string DecodeCharacterReferences(std::string_view text);
    // Hexadecimal digits read from the right, each place worth 16 times the one after it;
    // other characters add nothing but take their place. Blanks around are trimmed.
    static uint32_t HexToNumber(std::string_view text);
    // The CRC-32 of a buffer (foundation/crc32.h).
    static uint32_t CrcOfText(const void* data, size_t size);

    // --- HTML and encodings ---

    // The text between "<body ...>" and "</body" (the whole text without them) with its tags
    // removed, a link's target after its text in parentheses, line breaks for <br> and </p>,
    // and &gt; &lt; &amp; &quot; &copy; &reg; &nbsp; as their characters.
    static std::string HtmlToText(std::string_view html);
    // The characters of the 42 named entities as those entities, '&' first of them.
    static std::string TextToHtml(std::string_view text);
    // Adds what is missing of <html>, <head> with the title and <body> around the text, and
    // writes "</BODY>" and "</HEAD>" in lower case.
    static std::string WrapAsHtmlDocument(std::string_view text, std::string_view title);
    // "%" and two hexadecimal digits become the byte (unit) of that value.
    static std::string PercentDecode(std::string_view text);
    static std::u16string PercentDecode(std::u16string_view text);
    // Ill-formed input becomes U+FFFD.
    static std::string WideToUtf8(std::u16string_view text);
    static std::u16string Utf8ToWide(std::string_view text);
    // libb64's text: a line feed after every 72 characters and one at the end.
    static std::string Base64Encode(std::string_view bytes);
    // Characters outside the alphabet are skipped.
    static std::string Base64Decode(std::string_view text);
    // Creates the file's folder (one level; one that exists will do), then writes the file
    // anew. `path` is a Windows path.
    static bool WriteBufferToFile(const std::string& path, const void* data, size_t size);

    // --- Variants ---

    static std::string VariantToText(const VariantValue& value);
    // The text as a variant of the type; an empty variant when it does not read as one.
    static VariantValue TextToVariant(std::string_view text, uint16_t type);
    // The bytes of a value of the type; twice the length for a text of `text_length`.
    static size_t VariantTypeSize(uint16_t type, size_t text_length);
    // The bytes as a one-dimensional array of bytes; empty bytes give an empty variant unless
    // `emptyAsArray`.
    static VariantValue BytesToVariant(std::string_view bytes, bool emptyAsArray);

private:
    // Hands each token of the text cut on the separator (runs of it count as one, leading and
    // trailing ones give nothing) to `take`.
    static void ForEachToken(std::string_view text, char separator,
                             const std::function<void(std::string_view)>& take);
    // A valid date in the user's "%x %X"; "" for any other.
    static std::string DefaultDateText(const OleDate& date);
    // The decimal point of the C locale, read at the first call and kept for the life of the
    // process; an empty one is read again next time.
    static std::string LocaleDecimalPoint();
};

}  // namespace ruzd::foundation
