#include "foundation/captured_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ruzd::foundation {
namespace {

using namespace std::string_literals;

std::string Decode(const std::vector<std::string>& chunks) {
    CapturedOutputDecoder decoder;
    std::string out;
    for (const std::string& chunk : chunks) {
        decoder.Append(chunk, out);
    }
    decoder.Finish(out);
    return out;
}

TEST(LooksLikeUtf16Text, RecognisesLatinTextAndTheByteOrderMark) {
    EXPECT_TRUE(LooksLikeUtf16Text("H\0i\0"s));
    EXPECT_TRUE(LooksLikeUtf16Text("\xFF\xFE"s));
    EXPECT_TRUE(LooksLikeUtf16Text("\xFF\xFE\x42\x41"s));
    // Half of the units with a zero high byte is enough: "A" and a CJK character.
    EXPECT_TRUE(LooksLikeUtf16Text("A\0\x2D\x4E"s));
}

TEST(LooksLikeUtf16Text, RejectsAnsiTextAndShortOrZeroHeavyInput) {
    EXPECT_FALSE(LooksLikeUtf16Text("Hello, world\r\n"));
    EXPECT_FALSE(LooksLikeUtf16Text("H"));
    EXPECT_FALSE(LooksLikeUtf16Text(""));
    EXPECT_FALSE(LooksLikeUtf16Text("\0\0\0\0"s));     // zeros everywhere: binary, not text
    EXPECT_FALSE(LooksLikeUtf16Text("\0H\0i"s));       // big-endian
    EXPECT_FALSE(LooksLikeUtf16Text("\xFE\xFF\0H"s));  // big-endian mark
    EXPECT_FALSE(LooksLikeUtf16Text("abcd\0\0"s));     // text ended by zeros
}

TEST(CapturedOutputDecoder, AnsiChunksAreReadAsWindows1252) {
    EXPECT_EQ(Decode({"Caf\xE9", " \x80"}), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(CapturedOutputDecoder, Utf8StaysUtf8AndEveryOtherByteIsReadAsWindows1252) {
    // "Café €" and U+2713, as the programs of this system write them.
    EXPECT_EQ(Decode({"Caf\xC3\xA9 \xE2\x82\xAC \xE2\x9C\x93"}),
              "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x9C\x93");
    // A sequence cut between chunks is joined again.
    EXPECT_EQ(Decode({"Caf\xC3", "\xA9 \xE2", "\x82", "\xAC"}), "Caf\xC3\xA9 \xE2\x82\xAC");
    // Ill-formed sequences, one byte at a time: a stray continuation byte, a lead byte without
    // its continuation, an overlong form, a surrogate and a byte no sequence starts with.
    EXPECT_EQ(Decode({"\x80|\xC3\x41|\xC0\xAF|\xED\xA0\x80|\xFF"}),
              "\xE2\x82\xAC|\xC3\x83\x41|\xC3\x80\xC2\xAF|\xC3\xAD\xC2\xA0\xE2\x82\xAC|\xC3\xBF");
    // The start of a sequence that the output never completes.
    EXPECT_EQ(Decode({"ok\xE2\x82"}), "ok\xC3\xA2\xE2\x80\x9A");
}

TEST(CapturedOutputDecoder, TheFirstChunkDecidesForTheWholeRun) {
    // UTF-16 first: a later ANSI chunk is still read as UTF-16.
    EXPECT_EQ(Decode({"H\0i\0"s, "AB"}), "Hi\xE4\x89\x81");
    // ANSI first: a later UTF-16 chunk keeps its zero bytes as characters.
    EXPECT_EQ(Decode({"ok", "H\0"s}), "okH\0"s);
    // An empty chunk decides nothing.
    EXPECT_EQ(Decode({"", "H\0"s}), "H");
}

TEST(CapturedOutputDecoder, DropsTheByteOrderMarkAtTheStartOnly) {
    EXPECT_EQ(Decode({"\xFF\xFEO\0K\0"s}), "OK");
    EXPECT_EQ(Decode({"\xFF\xFE"s, "O\0"s, "\xFF\xFE"s}), "O\xEF\xBB\xBF");
}

TEST(CapturedOutputDecoder, JoinsUtf16CharactersSplitBetweenChunks) {
    // An odd byte count: the half unit waits for the next chunk.
    EXPECT_EQ(Decode({"H\0i"s, "\0!\0"s}), "Hi!");
    // A surrogate pair (U+1F600) cut between its halves.
    EXPECT_EQ(Decode({"A\0\x3D\xD8"s, "\x00\xDE"s}), "A\xF0\x9F\x98\x80");
    EXPECT_EQ(Decode({"A\0\x3D"s, "\xD8\x00\xDE"s}), "A\xF0\x9F\x98\x80");
}

TEST(CapturedOutputDecoder, WhatCanNeverBeCompletedEndsCleanly) {
    EXPECT_EQ(Decode({"A\0B"s}), "A");
    EXPECT_EQ(Decode({"A\0\x3D\xD8"s}), "A\xEF\xBF\xBD");
}

}  // namespace
}  // namespace ruzd::foundation
