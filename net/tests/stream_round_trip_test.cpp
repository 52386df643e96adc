// Messages written by the writer, cut from the byte stream and read back: what the central
// server and the node see of each other's values.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "net/tests/stream_test_util.h"

namespace ruzd::net {
namespace {

using ::testing::SizeIs;
using namespace ruzd::net::testing;

// Sends one message through a writer and a frame cutter and returns the payload received.
Bytes Transmit(const std::function<void(COutputStreamSocket&)>& write) {
    RecordingWriter writer;
    write(writer);
    EXPECT_TRUE(writer.Flush());
    Bytes stream;
    for (const SentFrame& frame : writer.frames()) {
        stream.insert(stream.end(), frame.bytes.begin(), frame.bytes.end());
    }
    std::vector<Bytes> payloads;
    CFrameCutter cutter(CFrameCutter::Side::kListener);
    cutter.Append(stream.data(), stream.size(), [&](const uint8_t* payload, int length) {
        payloads.emplace_back(payload, payload + length);
    });
    EXPECT_THAT(payloads, SizeIs(1));
    return payloads.empty() ? Bytes() : payloads[0];
}

const std::vector<int32_t> kBoundaryIntegers = {
    0,   1,   63,   64,   255,    256,    65535,  65536,     INT32_MAX, -1,
    -56, -57, -255, -256, -65535, -65536, -65537, INT32_MIN, 1000000,   -1000000,
};

TEST(StreamRoundTrip, SignedIntegers) {
    const Bytes payload = Transmit([](COutputStreamSocket& w) {
        for (int32_t v : kBoundaryIntegers) {
            w.WriteInt(v);
        }
    });
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    for (int32_t expected : kBoundaryIntegers) {
        int32_t value = 0;
        reader.ReadInt(value);
        EXPECT_EQ(value, expected);
    }
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
}

TEST(StreamRoundTrip, UnsignedIntegers) {
    const std::vector<uint32_t> values = {0,     63,         64,         65535,
                                          65536, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    const Bytes payload = Transmit([&](COutputStreamSocket& w) {
        for (uint32_t v : values) {
            w.WriteUInt(v);
        }
    });
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    for (uint32_t expected : values) {
        uint32_t value = 0;
        reader.ReadUInt(value);
        EXPECT_EQ(value, expected);
    }
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
}

TEST(StreamRoundTrip, TextOfEveryLengthForm) {
    std::vector<std::string> texts;
    for (int n : {0, 1, 61, 62, 255, 256, 4000, 65535}) {
        texts.emplace_back(n, static_cast<char>('a' + n % 26));
    }
    const Bytes payload = Transmit([&](COutputStreamSocket& w) {
        for (const std::string& text : texts) {
            w.WriteString(text);
        }
    });
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    for (const std::string& expected : texts) {
        std::string text;
        reader.ReadString(text);
        EXPECT_EQ(text, expected);
    }
    EXPECT_TRUE(reader.IsOk());
}

TEST(StreamRoundTrip, NonAsciiTextThroughWindows1252) {
    // Latin-1 letters, the euro sign and typographic quotes survive; characters the code page
    // lacks arrive as '?'.
    const std::string text =
        "D\xC3\xA9j\xC3\xA0 vu \xE2\x82\xAC"
        "5 \xE2\x80\x9Cok\xE2\x80\x9D";
    const Bytes payload = Transmit([&](COutputStreamSocket& w) {
        w.WriteString(text);
        w.WriteStringA("\xD0\x96 \xF0\x9F\x98\x80");  // Cyrillic Zhe, an emoji
    });
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    std::string first;
    std::string second;
    reader.ReadString(first).ReadString(second);
    EXPECT_EQ(first, text);
    EXPECT_EQ(second, "? ?");
    EXPECT_TRUE(reader.IsOk());
}

TEST(StreamRoundTrip, ByteStringsOfEveryLengthForm) {
    std::vector<Bytes> blocks;
    for (int n : {0, 1, 61, 62, 255, 256, 65535}) {
        Bytes block(n);
        for (int i = 0; i < n; ++i) {
            block[i] = static_cast<uint8_t>(i ^ n);
        }
        blocks.push_back(block);
    }
    const Bytes payload = Transmit([&](COutputStreamSocket& w) {
        for (const Bytes& block : blocks) {
            w.WriteBytes(block.data(), static_cast<int>(block.size()));
        }
    });
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    for (const Bytes& expected : blocks) {
        Bytes block(expected.size());
        EXPECT_TRUE(reader.ReadBytes(block.data(), static_cast<int>(block.size())));
        EXPECT_EQ(block, expected);
    }
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
}

TEST(StreamRoundTrip, ACommandWithMixedValues) {
    enum class Kind : int32_t { kVoice = 1 };
    const uint8_t digits[] = {'1', '2', '#'};
    const Bytes payload = Transmit([&](COutputStreamSocket& w) {
        w.BeginMessageWithValue(42, 7)
            .WriteEnum(Kind::kVoice)
            .WriteString("C:\\Voice\\welcome.vox")
            .WriteUInt(0xDEADBEEF)
            .WriteBytes(digits, 3)
            .WriteLong(-70000);
    });
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t code = 0;
    int32_t line = 0;
    Kind kind{};
    std::string path;
    uint32_t tag = 0;
    uint8_t got[3] = {};
    int32_t offset = 0;
    reader.ReadInt(code).ReadNonNegative(line).ReadEnum(kind).ReadString(path).ReadUInt(tag);
    EXPECT_TRUE(reader.ReadBytes(got, 3));
    reader.ReadLong(offset);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
    EXPECT_EQ(code, 42);
    EXPECT_EQ(line, 7);
    EXPECT_EQ(kind, Kind::kVoice);
    EXPECT_EQ(path, "C:\\Voice\\welcome.vox");
    EXPECT_EQ(tag, 0xDEADBEEF);
    EXPECT_EQ(Bytes(got, got + 3), Bytes(digits, digits + 3));
    EXPECT_EQ(offset, -70000);
}

}  // namespace
}  // namespace ruzd::net
