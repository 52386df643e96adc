#include "telephony/message_format.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>

namespace ruzd::telephony {
namespace {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatMessageText(format, args);
    va_end(args);
    return text;
}

TEST(MessageFormatTest, InsertsAreStringsUnlessAConversionIsGiven) {
    EXPECT_EQ(Format("open %1 on card %2!d!", "module", 3), "open module on card 3");
    EXPECT_EQ(Format("%2 before %1", "one", "two"), "two before one");
    EXPECT_EQ(Format("%1!04X!/%1!u!", 0xBEEF), "BEEF/48879");
    EXPECT_EQ(Format("%1!-4d!|", 7), "7   |");
    EXPECT_EQ(Format("%1!s!", nullptr), "(null)");
}

TEST(MessageFormatTest, LengthPrefixesAreReadTheWindowsWay) {
    EXPECT_EQ(Format("%1!ld! %2!I64d! %3!lu!", -5, int64_t{-4294967296}, 4000000000u),
              "-5 -4294967296 4000000000");
}

TEST(MessageFormatTest, TwoDigitInsertsReadTheirOwnArgument) {
    EXPECT_EQ(Format("%10%1", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j"), "ja");
}

TEST(MessageFormatTest, EscapesAndTheEndMark) {
    EXPECT_EQ(Format("a%nb%tc%rd"), "a\r\nb\tc\rd");
    EXPECT_EQ(Format("100%% %. %!% x"), "100% . ! x");
    EXPECT_EQ(Format("shown%0hidden %1", "never"), "shown");
    EXPECT_EQ(Format("trailing %"), "trailing ");
}

TEST(MessageFormatTest, UnsupportedConversionsInsertNothing) {
    EXPECT_EQ(Format("[%1!f!][%1!*d!]", 1), "[][]");
    EXPECT_EQ(Format("[%1!q!]", 1), "[]");
    EXPECT_EQ(Format("[%1!s]", "x"), "[x!s]") << "an unclosed spec is plain text";
}

}  // namespace
}  // namespace ruzd::telephony
