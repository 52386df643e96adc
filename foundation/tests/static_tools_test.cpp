#include "foundation/static_tools.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::optional<int32_t> Long(const char* text) {
    int32_t value = 0x5A5A5A5A;
    if (!CStaticTools::StrToLongEx(text, &value)) {
        EXPECT_EQ(value, 0x5A5A5A5A) << "a rejected text must leave the value alone";
        return std::nullopt;
    }
    return value;
}

TEST(StrToLong, AcceptsOnlyWholeNumbersWithBlanksAround) {
    EXPECT_EQ(Long("  42\t"), 42);
    EXPECT_EQ(Long("\t \t42  \t "), 42);
    EXPECT_EQ(Long("0"), 0);
    EXPECT_EQ(Long("000"), 0);
    EXPECT_EQ(Long(" 0 "), 0);
    EXPECT_EQ(Long("-7"), -7);
    EXPECT_EQ(Long("+7"), 7);
    EXPECT_EQ(Long("007"), 7);

    EXPECT_EQ(Long("42a"), std::nullopt);
    EXPECT_EQ(Long("4 2"), std::nullopt);
    EXPECT_EQ(Long("42\n"), std::nullopt);  // only blanks and tabs may follow
    EXPECT_EQ(Long("0x10"), std::nullopt);
    EXPECT_EQ(Long("1.0"), std::nullopt);
    EXPECT_EQ(Long("abc"), std::nullopt);
    EXPECT_EQ(Long("- 7"), std::nullopt);
}

TEST(StrToLong, AZeroMustBeWrittenAsADigit) {
    EXPECT_EQ(Long("+0"), std::nullopt);
    EXPECT_EQ(Long("-0"), std::nullopt);
    EXPECT_EQ(Long(""), std::nullopt);
    EXPECT_EQ(Long("   "), std::nullopt);
    EXPECT_EQ(Long("\t"), std::nullopt);
    EXPECT_EQ(Long("-"), std::nullopt);
    EXPECT_EQ(Long(nullptr), std::nullopt);
    // The conversion skips other white space itself, but the zero test looks at the first
    // character after blanks and tabs only.
    EXPECT_EQ(Long("\n0"), std::nullopt);
    EXPECT_EQ(Long("\n5"), 5);
    EXPECT_EQ(Long("\r\v\f5"), 5);
}

TEST(StrToLong, RangeIsSigned32Bit) {
    EXPECT_EQ(Long("2147483647"), 2147483647);
    EXPECT_EQ(Long("-2147483648"), INT32_MIN);
    EXPECT_EQ(Long("2147483648"), std::nullopt);
    EXPECT_EQ(Long("-2147483649"), std::nullopt);
    EXPECT_EQ(Long("4294967296"), std::nullopt);  // would wrap to 0 if truncated
    EXPECT_EQ(Long("4294967338"), std::nullopt);  // would wrap to 42
    EXPECT_EQ(Long("99999999999999999999999"), std::nullopt);
}

TEST(StrToLong, ValueFormsReturnZeroOnRejection) {
    EXPECT_EQ(CStaticTools::StrToLong("  42\t"), 42);
    EXPECT_EQ(CStaticTools::StrToLong("42x"), 0);
    EXPECT_EQ(CStaticTools::StrToLong(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(CStaticTools::StrToLong(std::string("-12")), -12);
    EXPECT_EQ(CStaticTools::StrToLong(std::string_view("2147483648")), 0);
}

TEST(StrToLong, TheWholeStringIsParsedNotJustUpToANul) {
    int32_t value = 0;
    EXPECT_FALSE(CStaticTools::StrToLongEx(std::string_view("12\0"
                                                            "34",
                                                            5),
                                           &value));
    EXPECT_TRUE(CStaticTools::StrToLongEx(std::string_view("1234", 2), &value));
    EXPECT_EQ(value, 12);
}

TEST(StrToShort, RangeIsSigned16Bit) {
    int16_t value = 0;
    EXPECT_FALSE(CStaticTools::StrToShortEx("32768", &value));
    EXPECT_FALSE(CStaticTools::StrToShortEx("-32769", &value));
    EXPECT_FALSE(CStaticTools::StrToShortEx("65536", &value));  // would wrap to 0
    EXPECT_TRUE(CStaticTools::StrToShortEx("-32768", &value));
    EXPECT_EQ(value, -32768);
    EXPECT_TRUE(CStaticTools::StrToShortEx(" 32767 ", &value));
    EXPECT_EQ(value, 32767);
    EXPECT_EQ(CStaticTools::StrToShort("40000"), 0);
    EXPECT_EQ(CStaticTools::StrToShort("+0"), 0);
    EXPECT_EQ(CStaticTools::StrToShort("-5"), -5);
}

TEST(StrToULong, SaturatesAndNegatesAs32BitUnsigned) {
    EXPECT_EQ(CStaticTools::StrToULong("-1"), 4294967295u);
    EXPECT_EQ(CStaticTools::StrToULong("4294967295"), 4294967295u);
    EXPECT_EQ(CStaticTools::StrToULong("4294967296"), 4294967295u);
    EXPECT_EQ(CStaticTools::StrToULong("18446744073709551617"), 4294967295u);
    EXPECT_EQ(CStaticTools::StrToULong("-4294967295"), 1u);
    // Beyond the range the sign no longer matters: it saturates.
    EXPECT_EQ(CStaticTools::StrToULong("-4294967296"), 4294967295u);
    EXPECT_EQ(CStaticTools::StrToULong("-2147483648"), 2147483648u);
    EXPECT_EQ(CStaticTools::StrToULong(" 3000000000\t"), 3000000000u);

    uint32_t value = 9;
    EXPECT_FALSE(CStaticTools::StrToULongEx("-0", &value));
    EXPECT_FALSE(CStaticTools::StrToULongEx("12 3", &value));
    EXPECT_FALSE(CStaticTools::StrToULongEx(static_cast<const char*>(nullptr), &value));
    EXPECT_EQ(value, 9u);
    EXPECT_TRUE(CStaticTools::StrToULongEx("0", &value));
    EXPECT_EQ(value, 0u);
}

TEST(StrToInt64, ClampsToTheNearestLimit) {
    EXPECT_EQ(CStaticTools::StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(CStaticTools::StrToInt64("9223372036854775808"), INT64_MAX);
    EXPECT_EQ(CStaticTools::StrToInt64("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(CStaticTools::StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(CStaticTools::StrToInt64("-9223372036854775809"), INT64_MIN);
    EXPECT_EQ(CStaticTools::StrToInt64("-99999999999999999999999"), INT64_MIN);
    EXPECT_EQ(CStaticTools::StrToInt64(" 4294967296 "), 4294967296LL);
    EXPECT_EQ(CStaticTools::StrToInt64("-5000000000"), -5000000000LL);

    int64_t value = 1;
    EXPECT_FALSE(CStaticTools::StrToInt64Ex("+0", &value));
    EXPECT_FALSE(CStaticTools::StrToInt64Ex("5e3", &value));
    EXPECT_EQ(value, 1);
}

TEST(StrToBool, OnlyASingleZeroIsFalse) {
    EXPECT_FALSE(CStaticTools::StrToBool("0"));
    EXPECT_TRUE(CStaticTools::StrToBool("00"));
    EXPECT_TRUE(CStaticTools::StrToBool(" 0"));
    EXPECT_TRUE(CStaticTools::StrToBool("false"));
    EXPECT_TRUE(CStaticTools::StrToBool(""));
    EXPECT_TRUE(CStaticTools::StrToBool("1"));
    EXPECT_TRUE(CStaticTools::StrToBool(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(CStaticTools::StrToBool(std::string("0")));

    bool value = true;
    EXPECT_TRUE(CStaticTools::StrToBoolEx("0", &value));
    EXPECT_FALSE(value);
    EXPECT_TRUE(CStaticTools::StrToBoolEx("no", &value));
    EXPECT_TRUE(value);
}

TEST(StrToDouble, AcceptsWholeNumbersInTheCLocale) {
    double value = 0;
    EXPECT_TRUE(CStaticTools::StrToDouble("1.5", &value, false));
    EXPECT_EQ(value, 1.5);
    EXPECT_TRUE(CStaticTools::StrToDouble("  -2.25 \t", &value, false));
    EXPECT_EQ(value, -2.25);
    EXPECT_TRUE(CStaticTools::StrToDouble("\n3", &value, false));  // left trim takes any space
    EXPECT_EQ(value, 3.0);
    EXPECT_TRUE(CStaticTools::StrToDouble("1e3", &value, true));
    EXPECT_EQ(value, 1000.0);
    EXPECT_TRUE(CStaticTools::StrToDouble("7.5", &value, true));  // C locale: '.' stays '.'
    EXPECT_EQ(value, 7.5);
}

TEST(StrToDouble, AZeroMustStartWithZeroOrMinusZero) {
    double value = 9;
    EXPECT_TRUE(CStaticTools::StrToDouble("0", &value, false));
    EXPECT_EQ(value, 0.0);
    EXPECT_TRUE(CStaticTools::StrToDouble("0.000", &value, false));
    EXPECT_TRUE(CStaticTools::StrToDouble("-0.0", &value, false));
    EXPECT_TRUE(std::signbit(value));
    EXPECT_FALSE(CStaticTools::StrToDouble(".0", &value, false));
    EXPECT_FALSE(CStaticTools::StrToDouble("+0", &value, false));
    EXPECT_FALSE(CStaticTools::StrToDouble("1e-400", &value, false));  // underflows to zero
}

TEST(StrToDouble, RejectsLeftoversButStillStoresTheConversion) {
    double value = 9;
    EXPECT_FALSE(CStaticTools::StrToDouble("", &value, false));
    EXPECT_FALSE(CStaticTools::StrToDouble(" \t", &value, false));
    EXPECT_EQ(value, 9.0);  // nothing converted
    EXPECT_FALSE(CStaticTools::StrToDouble("abc", &value, false));
    EXPECT_FALSE(CStaticTools::StrToDouble("2.5x", &value, false));
    EXPECT_EQ(value, 2.5);
    EXPECT_FALSE(CStaticTools::StrToDouble("2.5\n", &value, false));
    EXPECT_FALSE(CStaticTools::StrToDouble(std::string_view("2.5\0"
                                                            "1",
                                                            5),
                                           &value, false));
    EXPECT_FALSE(CStaticTools::StrToDouble("1,5", &value, false));

    EXPECT_EQ(CStaticTools::StrToDoubleValue("2.5x", false), 0.0);
    EXPECT_EQ(CStaticTools::StrToDoubleValue(" 2.5 ", false), 2.5);
    EXPECT_EQ(CStaticTools::StrToDoubleValue(static_cast<const char*>(nullptr), false), 0.0);
}

TEST(FormatByteSize, BytesBelowOneKilobyte) {
    EXPECT_EQ(CStaticTools::FormatByteSize(0), "0 bytes");
    EXPECT_EQ(CStaticTools::FormatByteSize(1), "1 bytes");
    EXPECT_EQ(CStaticTools::FormatByteSize(532), "532 bytes");
    EXPECT_EQ(CStaticTools::FormatByteSize(1023), "1023 bytes");
}

TEST(FormatByteSize, ThreeSignificantDigitsTruncated) {
    EXPECT_EQ(CStaticTools::FormatByteSize(1024), "1.00 KB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1485), "1.45 KB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1535), "1.49 KB");  // 1.499: not rounded up
    EXPECT_EQ(CStaticTools::FormatByteSize(10239), "9.99 KB");
    EXPECT_EQ(CStaticTools::FormatByteSize(10240), "10.0 KB");
    EXPECT_EQ(CStaticTools::FormatByteSize(102399), "99.9 KB");
    EXPECT_EQ(CStaticTools::FormatByteSize(102400), "100 KB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1023999), "999 KB");
}

TEST(FormatByteSize, AFourDigitCountMovesToTheNextUnit) {
    EXPECT_EQ(CStaticTools::FormatByteSize(1024000), "0.97 MB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1048575), "0.99 MB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1048576), "1.00 MB");
    EXPECT_EQ(CStaticTools::FormatByteSize(2 * 1048576), "2.00 MB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1000u * 1048576), "0.97 GB");
    EXPECT_EQ(CStaticTools::FormatByteSize(1073741824), "1.00 GB");
    EXPECT_EQ(CStaticTools::FormatByteSize(4294967295u), "3.99 GB");
}

TEST(FormatByteSize, LargeUnitsUpToExabytes) {
    constexpr uint64_t kTb = uint64_t{1} << 40;
    EXPECT_EQ(CStaticTools::FormatByteSize64(kTb), "1.00 TB");
    EXPECT_EQ(CStaticTools::FormatByteSize64(999 * kTb), "999 TB");
    EXPECT_EQ(CStaticTools::FormatByteSize64(kTb << 10), "1.00 PB");
    EXPECT_EQ(CStaticTools::FormatByteSize64(kTb << 20), "1.00 EB");
    EXPECT_EQ(CStaticTools::FormatByteSize64(UINT64_MAX), "15.9 EB");
}

TEST(SplitToStringArray, EverySeparatorEndsAFieldButATrailingOneAddsNone) {
    std::vector<std::string> fields{"stale"};
    CStaticTools::SplitToStringArray("a,,b,", ',', fields);
    EXPECT_THAT(fields, ElementsAre("a", "", "b"));
    CStaticTools::SplitToStringArray(",a", ',', fields);
    EXPECT_THAT(fields, ElementsAre("", "a"));
    CStaticTools::SplitToStringArray("abc", ',', fields);
    EXPECT_THAT(fields, ElementsAre("abc"));
    CStaticTools::SplitToStringArray("", ',', fields);
    EXPECT_THAT(fields, IsEmpty());
    CStaticTools::SplitToStringArray(",", ',', fields);
    EXPECT_THAT(fields, ElementsAre(""));
    CStaticTools::SplitToStringArray(",,", ',', fields);
    EXPECT_THAT(fields, ElementsAre("", ""));
    CStaticTools::SplitToStringArray("a b", ' ', fields);
    EXPECT_THAT(fields, ElementsAre("a", "b"));
}

TEST(SplitToDWordArray, RunsOfSeparatorsCountAsOneAndBadTokensAreDropped) {
    std::vector<uint32_t> values{99};
    CStaticTools::SplitToDWordArray("1,,x,3", ',', values);
    EXPECT_THAT(values, ElementsAre(1u, 3u));
    CStaticTools::SplitToDWordArray(",,7,", ',', values);
    EXPECT_THAT(values, ElementsAre(7u));
    CStaticTools::SplitToDWordArray(" 5 ,-1,+0,2147483648", ',', values);
    EXPECT_THAT(values, ElementsAre(5u, 4294967295u));
    CStaticTools::SplitToDWordArray("", ',', values);
    EXPECT_THAT(values, IsEmpty());
}

// Sets TZ for the life of the object and restores the previous zone.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            previous_ = old;
        }
        setenv("TZ", zone, 1);
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> previous_;
};

TEST(GetLocalUtcOffsetMinutes, IsUtcMinusLocalInWholeMinutes) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), 0);
    }
    {
        ScopedTimeZone zone("EAST-1");  // POSIX zones give the offset west of UTC
        EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), -60);
    }
    {
        ScopedTimeZone zone("WEST+5:30");
        EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), 330);
    }
    {
        ScopedTimeZone zone("ODD-0:01:30");
        EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), -1);  // -1.5 truncated toward 0
    }
    {
        ScopedTimeZone zone("ODD+0:00:59");
        EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), 0);
    }
}

TEST(GetLocalUtcOffsetMinutes, TakesTheOffsetAtTheProcessClocksTime) {
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    using std::chrono::seconds;
    platform::ManualClock clock(platform::WallTime(seconds(1704067200)));  // 2024-01-01 UTC
    platform::ScopedClockOverride useClock(clock);
    EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), -60);
    clock.SetNow(platform::WallTime(seconds(1719792000)));  // 2024-07-01 UTC, summer time
    EXPECT_EQ(CStaticTools::GetLocalUtcOffsetMinutes(), -120);
}

}  // namespace
}  // namespace ruzd::foundation
