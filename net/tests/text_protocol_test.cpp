// The framing and parameter rules of the text-command protocol.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/socket_command.h"
#include "net/text_line.h"
#include "net/text_parameter.h"

namespace ruzd::net {
namespace {

const uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

TEST(TextParameter, BlanksCarriageReturnsAndEmptyTextTravelAsStandIns) {
    EXPECT_EQ(EncodeParameter(""), "\x08");
    EXPECT_EQ(EncodeParameter("a b\rc"),
              "a\x0C"
              "b\x07"
              "c");
    EXPECT_EQ(DecodeParameter("\x08"), "");
    EXPECT_EQ(DecodeParameter("a\x0C"
                              "b"),
              "a b");
    EXPECT_EQ(DecodeParameter("a\x07"), "a\r");
    // Only a parameter that is exactly the marker is empty.
    EXPECT_EQ(DecodeParameter("\x08\x08"), "\x08\x08");
    for (const std::string text : {"", " ", "C:\\Program Files\\x.vox", "\r\r"}) {
        EXPECT_EQ(DecodeParameter(EncodeParameter(text)), text) << text;
    }
}

TEST(TextLine, NarrowLineEndsAtTheFirstCarriageReturn) {
    const std::string data = "TTSYNC\rHEARTB";
    EXPECT_EQ(FindLineEnd(Bytes(data), data.size(), false), 6u);
    EXPECT_FALSE(FindLineEnd(Bytes(data) + 7, data.size() - 7, false));
}

TEST(TextLine, WideTerminatorSplitOverTwoReceivesIsFoundOnlyWhenWhole) {
    const std::string wide = std::string("T\0T\0\r", 5);
    EXPECT_FALSE(FindLineEnd(Bytes(wide), wide.size(), true));
    const std::string whole = wide + std::string(1, '\0');
    EXPECT_EQ(FindLineEnd(Bytes(whole), whole.size(), true), 4u);
}

TEST(TextLine, WideSearchStaysOnCodeUnitBoundaries) {
    // U+0D41 (bytes 41 0D) followed by U+0100 (bytes 00 01): a 0x0D followed by 0x00 that is
    // not a terminator.
    const std::string data = std::string("\x41\x0D\x00\x01", 4) + std::string("\r\0", 2);
    EXPECT_EQ(FindLineEnd(Bytes(data), data.size(), true), 4u);
}

TEST(TextLine, LinesConvertFromTheirWireForm) {
    const std::string narrow = "Caf\xE9";
    EXPECT_EQ(DecodeLineText(Bytes(narrow), narrow.size(), false), "Café");
    const std::string wide = EncodeLineText("Café", true);
    EXPECT_EQ(wide, std::string("C\0a\0f\0\xE9\0", 8));
    EXPECT_EQ(DecodeLineText(Bytes(wide), wide.size(), true), "Café");
    EXPECT_EQ(EncodeLineText("Café", false), narrow);
}

TEST(TextLine, WordIsSplitAtTheFirstBlank) {
    std::string word, parameters;
    SplitCommandLine("REQFIL 1 a b", word, parameters);
    EXPECT_EQ(word, "REQFIL");
    EXPECT_EQ(parameters, "1 a b");
    SplitCommandLine("CNPROP", word, parameters);
    EXPECT_EQ(word, "CNPROP");
    EXPECT_EQ(parameters, "");
    SplitCommandLine(" CNPROP x", word, parameters);
    EXPECT_EQ(word, " CNPROP x");
    EXPECT_EQ(parameters, "");
}

TEST(TextLine, ParametersSplitOnSingleBlanksAndAreDecoded) {
    EXPECT_EQ(SplitParameters(""), SocketParameters{});
    EXPECT_EQ(SplitParameters("a  b"), (SocketParameters{"a", "", "b"}));
    EXPECT_EQ(SplitParameters("x\x0Cy \x08 z"), (SocketParameters{"x y", "", "z"}));
}

TEST(TextLine, BlockLengthsOutsideZeroToTheMaximumAreRefused) {
    EXPECT_EQ(ParseBlockLength("0", 10), 0u);
    EXPECT_EQ(ParseBlockLength("10", 10), 10u);
    EXPECT_FALSE(ParseBlockLength("11", 10));
    EXPECT_FALSE(ParseBlockLength("-1", 10));
    EXPECT_FALSE(ParseBlockLength("1x", 10));
    EXPECT_FALSE(ParseBlockLength("", 10));
    // The length is a signed 32-bit number.
    EXPECT_EQ(ParseBlockLength("2147483647", SIZE_MAX), 2147483647u);
    EXPECT_FALSE(ParseBlockLength("2147483648", SIZE_MAX));
}

TEST(SocketCommand, TypeFollowsTheHandler) {
    EXPECT_EQ(CSocketCommand(ParametersHandler([](const SocketParameters&) {})).Type(),
              kHandlerParameters);
    EXPECT_EQ(CSocketCommand(RawClaimHandler([](const std::string&, int, bool&) {})).Type(),
              kHandlerRawClaim);
    EXPECT_EQ(CSocketCommand(BlockHandler([](const SocketParameters&, const uint8_t*, size_t) {}),
                             true, kExactlyOneOfCounts, {5}, 4)
                  .Type(),
              kHandlerParametersBlock);
    PlainHandler plain = [](int, const char* const*, int) { return 0; };
    EXPECT_EQ(CSocketCommand(plain).Type(), kHandlerPlain);
}

TEST(SocketCommand, CountModes) {
    const ParametersHandler none = [](const SocketParameters&) {};
    int expected = 99;

    const CSocketCommand any(none);
    EXPECT_TRUE(any.CheckParameterCount(0, expected));
    EXPECT_TRUE(any.CheckParameterCount(7, expected));

    const CSocketCommand atLeast(none, false, kAtLeastFirstCount, {1});
    EXPECT_TRUE(atLeast.CheckParameterCount(3, expected));
    EXPECT_FALSE(atLeast.CheckParameterCount(0, expected));
    EXPECT_EQ(expected, 1);

    const CSocketCommand exactlyOne(none, false, kExactlyOneOfCounts, {1});
    EXPECT_FALSE(exactlyOne.CheckParameterCount(2, expected));
    EXPECT_EQ(expected, 1);

    const CSocketCommand oneOfTwo(none, false, kExactlyOneOfCounts, {0, 1});
    EXPECT_TRUE(oneOfTwo.CheckParameterCount(0, expected));
    EXPECT_TRUE(oneOfTwo.CheckParameterCount(1, expected));
    EXPECT_FALSE(oneOfTwo.CheckParameterCount(2, expected));
    EXPECT_EQ(expected, -1);
}

}  // namespace
}  // namespace ruzd::net
