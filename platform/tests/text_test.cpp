#include "platform/text.h"

#include <gtest/gtest.h>

namespace ruzd::platform {
namespace {

TEST(Cp1252, EveryByteSurvivesARoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(byte)), byte) << "byte " << b;
    }
}

TEST(Cp1252, HighControlsFollowTheCodePage) {
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
    EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");      // Y diaeresis
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");      // undefined byte: U+0081
    EXPECT_EQ(Cp1252ToUtf8("\x9D"), "\xC2\x9D");      // undefined byte: U+009D
    EXPECT_EQ(Cp1252ToUtf8("\xE9"), "\xC3\xA9");      // e acute, as Latin-1
    EXPECT_EQ(Utf8ToCp1252("\xE2\x80\x9C"
                           "a"
                           "\xE2\x80\x9D"),
              "\x93"
              "a"
              "\x94");
}

TEST(Cp1252, UnmappableAndIllFormedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // a CJK character
    EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");      // U+0080 has no byte
    EXPECT_EQ(Utf8ToCp1252("a\xFF"
                           "b"),
              "a?b");
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");       // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");  // overlong '/'
}

TEST(Utf8, OnlyWellFormedSequencesPassAndAnUnfinishedOneIsToldApart) {
    EXPECT_EQ(FirstIllFormedUtf8("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD"),
              std::string_view::npos);                      // U+FFFD itself is a character
    EXPECT_EQ(FirstIllFormedUtf8("ab\xC0\xAF"), 2u);        // overlong '/'
    EXPECT_EQ(FirstIllFormedUtf8("a\xED\xA0\x80"), 1u);     // a surrogate
    EXPECT_EQ(FirstIllFormedUtf8("\xF4\x90\x80\x80"), 0u);  // beyond U+10FFFF
    EXPECT_EQ(FirstIllFormedUtf8("\xE0\x9F\xBF"), 0u);      // overlong three bytes
    EXPECT_EQ(FirstIllFormedUtf8("ok\xE2\x82"), 2u);        // ends inside a sequence
    EXPECT_EQ(Utf8SequenceLength("\xE2\x82", 0), 0u);       // may still become one
    EXPECT_EQ(Utf8SequenceLength("\xE2\x41", 0), std::string_view::npos);
    EXPECT_EQ(Utf8SequenceLength("\x80", 0), std::string_view::npos);
    EXPECT_EQ(Utf8SequenceLength("x\xF0\x9F\x98\x80", 1), 4u);
}

TEST(Utf16, RoundTripsIncludingSurrogatePairs) {
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::u16string wide = Utf8ToUtf16(text);
    ASSERT_EQ(wide.size(), 5u);
    EXPECT_EQ(wide[3], 0xD83D);
    EXPECT_EQ(wide[4], 0xDE00);
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    EXPECT_EQ(Utf16leBytesToUtf8(Utf8ToUtf16leBytes(text)), text);
    EXPECT_EQ(Utf8ToUtf16leBytes("AB"), std::string("A\0B\0", 4));
}

TEST(Utf16, LoneSurrogatesAndOddBytesAreHandled) {
    EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf16leBytesToUtf8(std::string("A\0B", 3)), "A");
}

TEST(CodePoints, DecodeEncodeTrimAndHexDigits) {
    EXPECT_EQ(Utf8ToCodePoints("a\xC3\xBC\xF0\x9F\x98\x80\xFF"), U"a\u00FC\U0001F600\uFFFD");
    std::string text;
    for (const char32_t c : U"a\u00FC\u20AC\U0001F600") {
        if (c != 0) {
            AppendUtf8(text, c);
        }
    }
    EXPECT_EQ(text, "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Trim(" \t x y\r\n"), "x y");
    EXPECT_EQ(Trim("--x-", "-"), "x");
    EXPECT_EQ(Trim("  "), "");
    EXPECT_EQ(HexDigitValue('7'), 7);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('C'), 12);
    EXPECT_EQ(HexDigitValue('g'), -1);
}

TEST(AsciiCase, FoldsOnlyAscii) {
    EXPECT_EQ(AsciiUpper("abc\xC3\xA9z"), "ABC\xC3\xA9Z");
    EXPECT_EQ(AsciiLower("ABC[]"), "abc[]");
    EXPECT_TRUE(EqualsIgnoreCase("Local TCP Port", "local tcp PORT"));
    EXPECT_FALSE(EqualsIgnoreCase("abc", "abd"));
    EXPECT_FALSE(EqualsIgnoreCase("abc", "abcd"));
}

TEST(Format, FormatsLongOutput) {
    EXPECT_EQ(Format("%s=%d", "x", 42), "x=42");
    const std::string big(5000, 'q');
    EXPECT_EQ(Format("[%s]", big.c_str()).size(), 5002u);
    EXPECT_EQ(Format("%s", ""), "");
}

}  // namespace
}  // namespace ruzd::platform
