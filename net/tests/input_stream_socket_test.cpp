#include "net/input_stream_socket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "net/tests/stream_test_util.h"

namespace ruzd::net {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Eq;
using namespace ruzd::net::testing;

// Payloads live in heap blocks of exactly their size, so that any read past the end is caught by
// the address sanitizer.
class Payload {
public:
    Payload(std::initializer_list<uint8_t> bytes) : bytes_(bytes) {}
    explicit Payload(Bytes bytes) : bytes_(std::move(bytes)) {}
    const uint8_t* data() const { return bytes_.data(); }
    int size() const { return static_cast<int>(bytes_.size()); }

private:
    Bytes bytes_;
};

TEST(ReaderIntegers, EveryFormDecodes) {
    const std::vector<std::pair<Payload, int32_t>> cases = {
        {{0x00}, 0},
        {{0x3F}, 63},
        {{0x40}, 0},
        {{0x41}, -1},
        {{0x78}, -56},
        {{0x79}, -57},
        {{0x7E, 0x40}, 64},
        {{0x7F, 0x39}, -57},
        {{0x7C, 0x01, 0x00}, 256},
        {{0x7D, 0xFF, 0xFF}, -65535},
        {{0x7A, 0x7F, 0xFF, 0xFF, 0xFF}, INT32_MAX},
        {{0x7A, 0xFF, 0xFF, 0xFF, 0xFF}, -1},  // wraps
        {{0x7B, 0x00, 0x01, 0x00, 0x00}, -65536},
        {{0x7B, 0x80, 0x00, 0x00, 0x00}, INT32_MIN},
    };
    for (const auto& [payload, value] : cases) {
        CInputStreamSocket reader(payload.data(), payload.size());
        int32_t got = 12345;
        reader.ReadInt(got);
        EXPECT_EQ(got, value);
        EXPECT_TRUE(reader.IsOk());
        EXPECT_FALSE(reader.HasMoreData());
    }
}

TEST(ReaderIntegers, TextTagIsLeftForTheTextRead) {
    const Payload payload{0x85, 'h', 'e', 'l', 'l', 'o'};
    CInputStreamSocket reader(payload.data(), payload.size());
    int32_t value = 1;
    reader.ReadInt(value);
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(reader.IsOk());
    EXPECT_EQ(reader.Position(), 0);
    std::string text;
    reader.ReadString(text);
    EXPECT_EQ(text, "hello");
    EXPECT_FALSE(reader.IsOk());  // the flag stays cleared
}

TEST(ReaderIntegers, CutOffFormConsumesNothing) {
    for (const Payload& payload :
         {Payload{0x7C, 0x01}, Payload{0x7A, 1, 2, 3}, Payload{0x7F}, Payload{0x7B, 0, 0, 0}}) {
        CInputStreamSocket reader(payload.data(), payload.size());
        int32_t value = 1;
        reader.ReadInt(value);
        EXPECT_EQ(value, 0);
        EXPECT_FALSE(reader.IsOk());
        EXPECT_EQ(reader.Position(), 0);
    }
}

TEST(ReaderIntegers, UnsignedReadRefusesNegativeForms) {
    const Payload positive{0x7A, 0xFF, 0xFF, 0xFF, 0xFF, 0x7E, 0x64};
    CInputStreamSocket reader(positive.data(), positive.size());
    uint32_t a = 0;
    uint32_t b = 0;
    reader.ReadUInt(a).ReadUInt(b);
    EXPECT_EQ(a, 0xFFFFFFFFu);
    EXPECT_EQ(b, 100u);
    EXPECT_TRUE(reader.IsOk());

    // A negative value is skipped whole: 41 (1 byte), 7F xx (2), 7D xx xx (3), 7B xx xx xx xx.
    const Payload negative{0x41, 0x7F, 0x05, 0x7D, 0x01, 0x00, 0x7B, 0, 1, 0, 0, 0x09};
    CInputStreamSocket negatives(negative.data(), negative.size());
    for (int expectedPosition : {1, 3, 6, 11}) {
        uint32_t value = 1;
        negatives.ReadUInt(value);
        EXPECT_EQ(value, 0u);
        EXPECT_EQ(negatives.Position(), expectedPosition);
    }
    EXPECT_FALSE(negatives.IsOk());
    int32_t last = 0;
    negatives.ReadInt(last);
    EXPECT_EQ(last, 9);
}

TEST(ReaderIntegers, SkippingACutOffNegativeFormStopsAtTheEnd) {
    const Payload payload{0x7B, 0x01};
    CInputStreamSocket reader(payload.data(), payload.size());
    uint32_t value = 1;
    reader.ReadUInt(value);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(reader.Position(), 2);
    EXPECT_FALSE(reader.HasMoreData());
}

TEST(ReaderIntegers, RangeReadsRefuseValuesOutsideTheirType) {
    struct Case {
        Payload payload;
        bool fits;
    };
    const auto check = [](const char* what, const std::vector<Case>& cases, auto read) {
        for (const Case& c : cases) {
            CInputStreamSocket reader(c.payload.data(), c.payload.size());
            const int64_t value = read(reader);
            EXPECT_EQ(reader.IsOk(), c.fits) << what << " at " << value;
            EXPECT_EQ(reader.Position(), c.payload.size()) << what;  // consumed either way
            if (!c.fits) {
                EXPECT_EQ(value, 0) << what;
            }
        }
    };
    check("char",
          {{{0x7F, 0x80}, true},    // -128
           {{0x7E, 0x7F}, true},    // 127
           {{0x7F, 0x81}, false},   // -129
           {{0x7E, 0x80}, false}},  // 128
          [](CInputStreamSocket& r) {
              int8_t v = 1;
              r.ReadChar(v);
              return static_cast<int64_t>(v);
          });
    check("byte", {{{0x7E, 0xFF}, true}, {{0x7C, 0x01, 0x00}, false}, {{0x41}, false}},
          [](CInputStreamSocket& r) {
              uint8_t v = 1;
              r.ReadByte(v);
              return static_cast<int64_t>(v);
          });
    check("short",
          {{{0x7D, 0x80, 0x00}, true},
           {{0x7C, 0x7F, 0xFF}, true},
           {{0x7D, 0x80, 0x01}, false},
           {{0x7C, 0x80, 0x00}, false}},
          [](CInputStreamSocket& r) {
              int16_t v = 1;
              r.ReadShort(v);
              return static_cast<int64_t>(v);
          });
    check("word", {{{0x7C, 0xFF, 0xFF}, true}, {{0x7A, 0, 1, 0, 0}, false}, {{0x41}, false}},
          [](CInputStreamSocket& r) {
              uint16_t v = 1;
              r.ReadWord(v);
              return static_cast<int64_t>(v);
          });
    check("non-negative", {{{0x00}, true}, {{0x7A, 0x7F, 0, 0, 0}, true}, {{0x41}, false}},
          [](CInputStreamSocket& r) {
              int32_t v = 1;
              r.ReadNonNegative(v);
              return static_cast<int64_t>(v);
          });
}

TEST(ReaderIntegers, EnumerationsReadTheSignedValue) {
    enum class Port : int32_t { kVoice = 1, kUnknown = -1 };
    const Payload payload{0x01, 0x41};
    CInputStreamSocket reader(payload.data(), payload.size());
    Port a = Port::kUnknown;
    Port b = Port::kVoice;
    reader.ReadEnum(a).ReadEnum(b);
    EXPECT_EQ(a, Port::kVoice);
    EXPECT_EQ(b, Port::kUnknown);
}

TEST(ReaderOkFlag, StaysClearedUntilTheReaderIsSetUpAgain) {
    const Payload payload{0x01, 0x85, 0x02};
    CInputStreamSocket reader(payload.data(), payload.size());
    int32_t a = 0;
    int32_t b = 0;
    std::string text;
    reader.ReadInt(a).ReadInt(b);
    EXPECT_FALSE(reader.IsOk());
    reader.ReadString(text);  // fails too: only 2 of 5 text bytes remain
    EXPECT_FALSE(reader.IsOk());

    const Payload good{0x04};
    reader.Attach(good.data(), good.size());
    EXPECT_TRUE(reader.IsOk());
    reader.ReadInt(a);
    EXPECT_EQ(a, 4);
    EXPECT_TRUE(reader.IsOk());
}

TEST(ReaderOkFlag, ReadsAfterTheEndKeepFailing) {
    const Payload payload{0x01};
    CInputStreamSocket reader(payload.data(), payload.size());
    int32_t value = 0;
    reader.ReadInt(value);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
    for (int i = 0; i < 3; ++i) {
        value = 7;
        reader.ReadInt(value);
        EXPECT_EQ(value, 0);
        EXPECT_FALSE(reader.IsOk());
        EXPECT_EQ(reader.Position(), 1);
    }
    std::string text = "x";
    reader.ReadString(text);
    EXPECT_EQ(text, "");
    uint8_t bytes[2] = {9, 9};
    EXPECT_FALSE(reader.ReadBytes(bytes, 2));
    EXPECT_THAT(bytes, Each(Eq(0)));
}

TEST(ReaderOkFlag, BadSetUpGivesAnEmptyFailedReader) {
    const Payload payload{0x01};
    CInputStreamSocket negative(payload.data(), -1);
    EXPECT_FALSE(negative.IsOk());
    EXPECT_FALSE(negative.HasMoreData());
    CInputStreamSocket missing(nullptr, 3);
    EXPECT_FALSE(missing.IsOk());
    EXPECT_EQ(missing.Length(), 0);
    CInputStreamSocket empty;
    EXPECT_TRUE(empty.IsOk());
    EXPECT_FALSE(empty.HasMoreData());
}

TEST(ReaderText, EveryLengthForm) {
    const std::string sixty(60, 'q');
    const Payload payload(Concat({{0x80},
                                  {0x83},
                                  BytesOf("abc"),
                                  {0xBF, 0x02},
                                  BytesOf("de"),
                                  {0xBE, 0x00, 0x3C},
                                  BytesOf(sixty)}));
    CInputStreamSocket reader(payload.data(), payload.size());
    std::string empty = "x";
    std::string a;
    std::string b;
    std::string c;
    reader.ReadString(empty).ReadString(a).ReadString(b).ReadString(c);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(a, "abc");
    EXPECT_EQ(b, "de");
    EXPECT_EQ(c, sixty);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
}

TEST(ReaderText, ComesInFromWindows1252) {
    const Payload payload{0x86, 'G', 'r', 0xFC, 0xDF, 'e', 0x80};
    CInputStreamSocket reader(payload.data(), payload.size());
    std::string text;
    reader.ReadString(text);
    EXPECT_EQ(text,
              "Gr\xC3\xBC\xC3\x9F"
              "e\xE2\x82\xAC");
}

TEST(ReaderText, EndsAtAnEmbeddedNulButConsumesTheValue) {
    const Payload payload{0x84, 'a', 0x00, 'b', 'c', 0x05};
    CInputStreamSocket reader(payload.data(), payload.size());
    std::string text;
    int32_t next = 0;
    reader.ReadString(text).ReadInt(next);
    EXPECT_EQ(text, "a");
    EXPECT_EQ(next, 5);
    EXPECT_TRUE(reader.IsOk());
}

TEST(ReaderText, TruncatedTextConsumesOnlyItsHeader) {
    const Payload payload{0xBF, 0x05, 'a', 'b'};
    CInputStreamSocket reader(payload.data(), payload.size());
    std::string text = "x";
    reader.ReadString(text);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(reader.IsOk());
    EXPECT_EQ(reader.Position(), 2);
}

TEST(ReaderText, CutOffHeaderOrOtherKindConsumesNothing) {
    for (const Payload& payload :
         {Payload{0xBF}, Payload{0xBE, 0x01}, Payload{0xC1, 0x00}, Payload{0x05}}) {
        CInputStreamSocket reader(payload.data(), payload.size());
        std::string text = "x";
        reader.ReadString(text);
        EXPECT_EQ(text, "");
        EXPECT_FALSE(reader.IsOk());
        EXPECT_EQ(reader.Position(), 0);
    }
}

TEST(ReaderText, IntoACallersBuffer) {
    const Payload payload{0x83, 'a', 'b', 'c', 0x83, 'a', 'b', 'c'};
    {
        CInputStreamSocket reader(payload.data(), payload.size());
        char buffer[4] = {'x', 'x', 'x', 'x'};
        EXPECT_TRUE(reader.ReadStringBuffer(buffer, 4));  // exactly fits with its NUL
        EXPECT_STREQ(buffer, "abc");
        EXPECT_FALSE(reader.ReadStringBuffer(buffer, 3));  // too small: stays empty
        EXPECT_STREQ(buffer, "");
        EXPECT_FALSE(reader.IsOk());
        EXPECT_FALSE(reader.HasMoreData());
    }
    {
        CInputStreamSocket reader(payload.data(), payload.size());
        EXPECT_FALSE(reader.ReadStringBuffer(nullptr, 10));
        char buffer[1] = {'x'};
        EXPECT_FALSE(reader.ReadStringBuffer(buffer, 0));
        EXPECT_TRUE(reader.IsOk());  // a caller's mistake, not the peer's
        EXPECT_EQ(reader.Position(), 0);
    }
}

TEST(ReaderText, BufferReadReportsATextThatCannotBeRead) {
    const Payload payload{0x05};
    CInputStreamSocket reader(payload.data(), payload.size());
    char buffer[8] = "xxxxxxx";
    EXPECT_FALSE(reader.ReadStringBuffer(buffer, 8));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(reader.IsOk());

    CInputStreamSocket empty;
    EXPECT_FALSE(empty.ReadStringBuffer(buffer, 8));
    EXPECT_FALSE(empty.IsOk());
}

TEST(ReaderText, BufferReadGivesUtf8) {
    const Payload payload{0x81, 0xE9};
    CInputStreamSocket reader(payload.data(), payload.size());
    char small[2];
    EXPECT_FALSE(reader.ReadStringBuffer(small, 2));  // two bytes of UTF-8 need three
    reader.Attach(payload.data(), payload.size());
    char buffer[3];
    EXPECT_TRUE(reader.ReadStringBuffer(buffer, 3));
    EXPECT_STREQ(buffer, "\xC3\xA9");
}

TEST(ReaderBytes, EveryLengthForm) {
    const Bytes sixtyTwo(62, 0xAB);
    const Bytes big(300, 0xCD);
    const Payload payload(
        Concat({{0xC0}, {0xC2, 1, 2}, {0xFF, 62}, sixtyTwo, {0xFE, 0x01, 0x2C}, big}));
    CInputStreamSocket reader(payload.data(), payload.size());
    EXPECT_TRUE(reader.ReadBytes(nullptr, 0));
    uint8_t two[2];
    EXPECT_TRUE(reader.ReadBytes(two, 2));
    EXPECT_THAT(two, ElementsAre(1, 2));
    Bytes got62(62);
    EXPECT_TRUE(reader.ReadBytes(got62.data(), 62));
    EXPECT_EQ(got62, sixtyTwo);
    Bytes got300(300);
    EXPECT_TRUE(reader.ReadBytes(got300.data(), 300));
    EXPECT_EQ(got300, big);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
}

TEST(ReaderBytes, OtherLengthIsSkippedAndReported) {
    const Payload payload{0xC3, 1, 2, 3, 0x07};
    CInputStreamSocket reader(payload.data(), payload.size());
    uint8_t buffer[2] = {9, 9};
    EXPECT_FALSE(reader.ReadBytes(buffer, 2));
    EXPECT_THAT(buffer, Each(Eq(0)));
    EXPECT_FALSE(reader.IsOk());
    int32_t next = 0;
    reader.ReadInt(next);
    EXPECT_EQ(next, 7);
}

TEST(ReaderBytes, LengthsBeyondThePayloadFail) {
    {
        // Header announces 5 bytes, 2 remain: the header is consumed, nothing else.
        const Payload payload{0xC5, 1, 2};
        CInputStreamSocket reader(payload.data(), payload.size());
        uint8_t buffer[5] = {9, 9, 9, 9, 9};
        EXPECT_FALSE(reader.ReadBytes(buffer, 5));
        EXPECT_THAT(buffer, Each(Eq(0)));
        EXPECT_FALSE(reader.IsOk());
        EXPECT_EQ(reader.Position(), 1);
    }
    {
        // A skipped byte string that runs past the end stops at the end.
        const Payload payload{0xFE, 0xFF, 0xFF, 1, 2};
        CInputStreamSocket reader(payload.data(), payload.size());
        uint8_t buffer[1];
        EXPECT_FALSE(reader.ReadBytes(buffer, 1));
        EXPECT_EQ(reader.Position(), payload.size());
        EXPECT_FALSE(reader.HasMoreData());
    }
    for (const Payload& payload : {Payload{0xFF}, Payload{0xFE, 0x00}, Payload{0xBF, 0x00}}) {
        CInputStreamSocket reader(payload.data(), payload.size());
        uint8_t buffer[1] = {9};
        EXPECT_FALSE(reader.ReadBytes(buffer, 1));
        EXPECT_EQ(buffer[0], 0);
        EXPECT_EQ(reader.Position(), 0);  // cut-off header or another kind: nothing consumed
    }
}

TEST(ReaderBytes, CallerLengthMustBeUsable) {
    const Payload payload{0xC1, 1};
    CInputStreamSocket reader(payload.data(), payload.size());
    uint8_t buffer[1];
    EXPECT_FALSE(reader.ReadBytes(buffer, -1));
    EXPECT_FALSE(reader.IsOk());
    EXPECT_EQ(reader.Position(), 0);
    reader.Attach(payload.data(), payload.size());
    EXPECT_FALSE(reader.ReadBytes(nullptr, 1));
    EXPECT_FALSE(reader.IsOk());
}

}  // namespace
}  // namespace ruzd::net
