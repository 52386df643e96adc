#include "net/output_stream_socket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "net/tests/stream_test_util.h"

namespace ruzd::net {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;
using namespace ruzd::net::testing;

struct IntCase {
    int64_t value;
    Bytes bytes;
};

TEST(WriterIntegers, SignedValuesTakeTheShortestForm) {
    const std::vector<IntCase> cases = {
        {0, {0x00}},
        {63, {0x3F}},
        {64, {0x7E, 0x40}},
        {255, {0x7E, 0xFF}},
        {256, {0x7C, 0x01, 0x00}},
        {65535, {0x7C, 0xFF, 0xFF}},
        {65536, {0x7A, 0x00, 0x01, 0x00, 0x00}},
        {INT32_MAX, {0x7A, 0x7F, 0xFF, 0xFF, 0xFF}},
        {-1, {0x41}},
        {-56, {0x78}},
        {-57, {0x7F, 0x39}},
        {-255, {0x7F, 0xFF}},
        {-256, {0x7D, 0x01, 0x00}},
        {-65535, {0x7D, 0xFF, 0xFF}},
        {-65536, {0x7B, 0x00, 0x01, 0x00, 0x00}},
        {INT32_MIN, {0x7B, 0x80, 0x00, 0x00, 0x00}},
    };
    for (const IntCase& c : cases) {
        const auto value = static_cast<int32_t>(c.value);
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteInt(value); }), c.bytes) << c.value;
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteLong(value); }), c.bytes);
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteIntRef(value); }), c.bytes);
    }
}

TEST(WriterIntegers, UnsignedValuesAboveTheSignedRangeUseFourBytes) {
    const std::vector<std::pair<uint32_t, Bytes>> cases = {
        {0x80000000u, {0x7A, 0x80, 0x00, 0x00, 0x00}},
        {0xFFFFFFFFu, {0x7A, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x7FFFFFFFu, {0x7A, 0x7F, 0xFF, 0xFF, 0xFF}},
        {100, {0x7E, 0x64}},
        {7, {0x07}},
    };
    for (const auto& c : cases) {
        const uint32_t value = c.first;
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteUInt(value); }), c.second) << value;
    }
}

TEST(WriterIntegers, EnumerationsFollowTheSignednessOfTheirType) {
    enum class Signed : int32_t { kMinusOne = -1, kBig = 300 };
    enum class Unsigned : uint32_t { kTop = 0xFFFFFFFFu };
    EXPECT_EQ(Encode([](COutputStreamSocket& w) { w.WriteEnum(Signed::kMinusOne); }),
              Bytes({0x41}));
    EXPECT_EQ(Encode([](COutputStreamSocket& w) { w.WriteEnum(Signed::kBig); }),
              Bytes({0x7C, 0x01, 0x2C}));
    EXPECT_EQ(Encode([](COutputStreamSocket& w) { w.WriteEnum(Unsigned::kTop); }),
              Bytes({0x7A, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(WriterText, LengthFormsAtTheirBoundaries) {
    for (int n : {0, 1, 61, 62, 255, 256, 65535}) {
        const std::string text(n, 'k');
        Bytes header;
        if (n <= 61) {
            header = {static_cast<uint8_t>(0x80 + n)};
        } else if (n <= 255) {
            header = {0xBF, static_cast<uint8_t>(n)};
        } else {
            header = {0xBE, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
        }
        const Bytes expected = Concat({header, BytesOf(text)});
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteString(text); }), expected) << n;
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteStringA(text.c_str()); }), expected)
            << n;
    }
}

TEST(WriterText, GoesOutInWindows1252UpToTheFirstNul) {
    // e acute, euro sign, left double quote; a CJK character has no byte and becomes '?'.
    EXPECT_EQ(Encode([](COutputStreamSocket& w) {
                  w.WriteString("\xC3\xA9\xE2\x82\xAC\xE2\x80\x9C\xE4\xB8\xAD");
              }),
              Bytes({0x84, 0xE9, 0x80, 0x93, '?'}));
    EXPECT_EQ(Encode([](COutputStreamSocket& w) {
                  w.WriteStringA(
                      "Gr\xC3\xBC\xC3\x9F"
                      "e");
              }),
              Bytes({0x85, 'G', 'r', 0xFC, 0xDF, 'e'}));
    EXPECT_EQ(Encode([](COutputStreamSocket& w) { w.WriteString(std::string("ab\0cd", 5)); }),
              Bytes({0x82, 'a', 'b'}));
    EXPECT_EQ(Encode([](COutputStreamSocket& w) { w.WriteStringA(nullptr); }), Bytes({0x80}));
}

TEST(WriterText, TheLimitAppliesToTheBytesOnTheWire) {
    // 40000 characters of two UTF-8 bytes each are 40000 bytes in Windows-1252.
    std::string text;
    for (int i = 0; i < 40000; ++i) {
        text += "\xC3\xA9";
    }
    const Bytes payload = Encode([&](COutputStreamSocket& w) { w.WriteString(text); });
    ASSERT_THAT(payload, SizeIs(3 + 40000));
    EXPECT_THAT(Bytes(payload.begin(), payload.begin() + 4), ElementsAre(0xBE, 0x9C, 0x40, 0xE9));
}

TEST(WriterBytes, LengthFormsAtTheirBoundaries) {
    for (int n : {0, 1, 61, 62, 255, 256, 65535}) {
        Bytes data(n);
        for (int i = 0; i < n; ++i) {
            data[i] = static_cast<uint8_t>(i * 7);
        }
        Bytes header;
        if (n <= 61) {
            header = {static_cast<uint8_t>(0xC0 + n)};
        } else if (n <= 255) {
            header = {0xFF, static_cast<uint8_t>(n)};
        } else {
            header = {0xFE, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
        }
        EXPECT_EQ(Encode([&](COutputStreamSocket& w) { w.WriteBytes(data.data(), n); }),
                  Concat({header, data}))
            << n;
    }
    EXPECT_EQ(Encode([](COutputStreamSocket& w) { w.WriteBytes(nullptr, 0); }), Bytes({0xC0}));
}

TEST(WriterFrame, SingleIntegerFrame) {
    RecordingWriter writer;
    writer.BeginMessage(5);
    EXPECT_TRUE(writer.Flush());
    ASSERT_THAT(writer.frames(), SizeIs(1));
    EXPECT_THAT(writer.frames()[0].bytes, ElementsAre(0x01, 0x01, 0x05, 0x00, 0x05, 0xFF));
}

TEST(WriterFrame, LengthFormFollowsThePayloadSize) {
    // A byte string of n bytes from 62 to 255 takes n + 2 payload bytes, from 256 on n + 3.
    const std::vector<std::pair<int, Bytes>> cases = {
        {253, {0x01, 0xFF}},               // payload 255
        {254, {0x02, 0x01, 0x00}},         // payload 256
        {65533, {0x03, 0x01, 0x00, 0x00}}  // payload 65536
    };
    for (const auto& [n, header] : cases) {
        RecordingWriter writer;
        const Bytes data(n, 0x11);
        writer.WriteBytes(data.data(), n);
        writer.Flush();
        const std::vector<SentFrame> frames = writer.frames();
        ASSERT_THAT(frames, SizeIs(1));
        const Bytes& frame = frames[0].bytes;
        EXPECT_EQ(Bytes(frame.begin(), frame.begin() + header.size()), header) << n;
        PayloadOf(frame);
    }
}

TEST(WriterFrame, SumIsTakenModulo65536) {
    // Header FE 01 29 and 297 bytes of FF: 254 + 1 + 41 + 297 * 255 = 76031 = 0x128FF.
    RecordingWriter writer;
    const Bytes data(297, 0xFF);
    writer.WriteBytes(data.data(), 297);
    writer.Flush();
    const std::vector<SentFrame> frames = writer.frames();
    ASSERT_THAT(frames, SizeIs(1));
    const Bytes& frame = frames[0].bytes;
    ASSERT_THAT(frame, SizeIs(3 + 300 + 3));
    EXPECT_THAT(Bytes(frame.end() - 3, frame.end()), ElementsAre(0x28, 0xFF, 0xFF));
}

TEST(WriterMessages, FlushSendsOnlyWhatWasWritten) {
    RecordingWriter writer;
    EXPECT_TRUE(writer.Flush());
    EXPECT_THAT(writer.frames(), IsEmpty());
    writer.BeginMessage(1).WriteInt(2);
    writer.Flush();
    writer.Flush();
    EXPECT_THAT(writer.frames(), SizeIs(1));
}

TEST(WriterMessages, BeginMessageSendsTheMessageLeftUnsent) {
    RecordingWriter writer;
    writer.BeginMessage(7).WriteString("a");
    writer.BeginMessageWithValue(8, 300);
    writer.WriteInt(-1);  // values without BeginMessage extend the pending message
    writer.Flush();
    const std::vector<SentFrame> frames = writer.frames();
    ASSERT_THAT(frames, SizeIs(2));
    EXPECT_THAT(PayloadOf(frames[0].bytes), ElementsAre(0x07, 0x81, 'a'));
    EXPECT_THAT(PayloadOf(frames[1].bytes), ElementsAre(0x08, 0x7C, 0x01, 0x2C, 0x41));
}

TEST(WriterMessages, FlushToAndSendBytesToNameThePeer) {
    RecordingWriter writer;
    writer.BeginMessage(3);
    writer.FlushTo("127.0.0.1", 9070);
    const uint8_t data[] = {1, 2};
    EXPECT_TRUE(writer.SendBytes(data, 2));
    EXPECT_TRUE(writer.SendBytesTo("127.0.0.2", 9072, data, 1));
    const std::vector<SentFrame> frames = writer.frames();
    ASSERT_THAT(frames, SizeIs(3));
    EXPECT_EQ(frames[0].address, "127.0.0.1");
    EXPECT_EQ(frames[0].port, 9070u);
    EXPECT_EQ(frames[1].address, "");
    EXPECT_THAT(PayloadOf(frames[1].bytes), ElementsAre(0xC2, 1, 2));
    EXPECT_EQ(frames[2].address, "127.0.0.2");
    EXPECT_EQ(frames[2].port, 9072u);
    EXPECT_THAT(PayloadOf(frames[2].bytes), ElementsAre(0xC1, 1));
}

TEST(WriterMessages, LargeMessagesGrowTheBufferAndKeepTheirValues) {
    RecordingWriter writer;
    std::vector<std::string> texts;
    writer.BeginMessage(1);
    for (int i = 0; i < 50; ++i) {
        texts.push_back(std::string(100 + i * 997 % 6000, static_cast<char>('a' + i % 26)));
        writer.WriteString(texts.back()).WriteInt(i * 1000);
    }
    EXPECT_TRUE(writer.Flush());
    // The same thread's next message reuses the grown buffer from the start.
    writer.BeginMessage(2);
    writer.Flush();

    const std::vector<SentFrame> frames = writer.frames();
    ASSERT_THAT(frames, SizeIs(2));
    const Bytes payload = PayloadOf(frames[0].bytes);
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t code = 0;
    reader.ReadInt(code);
    EXPECT_EQ(code, 1);
    for (int i = 0; i < 50; ++i) {
        std::string text;
        int32_t number = 0;
        reader.ReadString(text).ReadInt(number);
        EXPECT_EQ(text, texts[i]);
        EXPECT_EQ(number, i * 1000);
    }
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
    EXPECT_THAT(frames[1].bytes, ElementsAre(0x01, 0x01, 0x02, 0x00, 0x02, 0xFF));
}

TEST(WriterRefusals, OverlongValuesDropTheWholeMessage) {
    const std::string longText(65536, 't');
    const Bytes longBytes(65536, 0x42);
    const std::vector<std::function<void(COutputStreamSocket&)>> refusals = {
        [&](COutputStreamSocket& w) { w.WriteString(longText); },
        [&](COutputStreamSocket& w) { w.WriteStringA(longText.c_str()); },
        [&](COutputStreamSocket& w) { w.WriteBytes(longBytes.data(), 65536); },
        [&](COutputStreamSocket& w) { w.WriteBytes(longBytes.data(), -1); },
        [&](COutputStreamSocket& w) { w.WriteBytes(nullptr, 3); },
    };
    for (const auto& refuse : refusals) {
        RecordingWriter writer;
        writer.BeginMessage(12).WriteInt(1);
        refuse(writer);
        EXPECT_TRUE(writer.IsPendingMessageRefused());
        writer.WriteInt(2);  // later values don't revive the message
        EXPECT_FALSE(writer.Flush());
        EXPECT_THAT(writer.frames(), IsEmpty());
        ASSERT_THAT(writer.log(), SizeIs(1));
        EXPECT_THAT(writer.log()[0], StartsWith("ERROR"));

        // The writer is whole again for the next message.
        EXPECT_FALSE(writer.IsPendingMessageRefused());
        writer.BeginMessage(13);
        EXPECT_TRUE(writer.Flush());
        ASSERT_THAT(writer.frames(), SizeIs(1));
        EXPECT_THAT(PayloadOf(writer.frames()[0].bytes), ElementsAre(13));
    }
}

TEST(WriterRefusals, BeginMessageDropsARefusedMessage) {
    RecordingWriter writer;
    const Bytes tooLong(70000);
    writer.BeginMessage(1).WriteBytes(tooLong.data(), 70000);
    writer.BeginMessage(2);
    writer.Flush();
    ASSERT_THAT(writer.frames(), SizeIs(1));
    EXPECT_THAT(PayloadOf(writer.frames()[0].bytes), ElementsAre(2));
    EXPECT_THAT(writer.log(), SizeIs(1));
}

TEST(WriterRefusals, MessageStaysBelowSixteenMegabytes) {
    RecordingWriter writer;
    const Bytes block(65535, 0x5A);  // 65538 payload bytes each
    int written = 0;
    while (written < 300 && !writer.IsPendingMessageRefused()) {
        writer.WriteBytes(block.data(), 65535);
        ++written;
    }
    // 255 blocks take the buffer to 16715776 bytes; the 256th would need it past 16777215.
    EXPECT_EQ(written, 256);
    EXPECT_FALSE(writer.Flush());
    EXPECT_THAT(writer.frames(), IsEmpty());
    ASSERT_THAT(writer.log(), SizeIs(1));
    EXPECT_THAT(writer.log()[0], StartsWith("ERROR"));

    // 255 blocks still make one frame, with length form 3.
    for (int i = 0; i < 255; ++i) {
        writer.WriteBytes(block.data(), 65535);
    }
    EXPECT_TRUE(writer.Flush());
    const std::vector<SentFrame> frames = writer.frames();
    ASSERT_THAT(frames, SizeIs(1));
    const Bytes& frame = frames[0].bytes;
    const int n = 255 * 65538;
    EXPECT_THAT(Bytes(frame.begin(), frame.begin() + 4),
                ElementsAre(3, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF));
    EXPECT_EQ(frame.size(), 4u + n + 3u);
}

TEST(WriterLifetime, UnsentMessagesAreDroppedWithTheWriter) {
    int sends = 0;
    {
        CCallbackOutputStream writer(
            [&](const uint8_t*, int, const std::string&, unsigned) { ++sends; });
        writer.BeginMessage(1).WriteString("never sent");
    }
    EXPECT_EQ(sends, 0);

    // The next writer of the thread (as the reply writer of the next command) starts clean
    // though it takes the buffer over, also after a refused message.
    {
        CCallbackOutputStream writer(
            [&](const uint8_t*, int, const std::string&, unsigned) { ++sends; });
        writer.BeginMessage(2).WriteBytes(nullptr, 5);
        EXPECT_TRUE(writer.IsPendingMessageRefused());
    }
    RecordingWriter next;
    EXPECT_FALSE(next.IsPendingMessageRefused());
    EXPECT_TRUE(next.BeginMessage(3).WriteInt(4).Flush());
    ASSERT_THAT(next.frames(), SizeIs(1));
    EXPECT_EQ(PayloadOf(next.frames()[0].bytes), Bytes({3, 4}));
    EXPECT_EQ(sends, 0);
}

// Two threads compose messages on one writer at the same time; each keeps its own.
TEST(WriterThreads, EachThreadComposesItsOwnMessage) {
    RecordingWriter writer;
    std::mutex mutex;
    std::condition_variable changed;
    int stage = 0;
    const auto waitFor = [&](int wanted) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stage == wanted; });
    };
    const auto advance = [&] {
        std::lock_guard lock(mutex);
        ++stage;
        changed.notify_all();
    };

    std::thread other([&] {
        writer.BeginMessage(1).WriteInt(10);
        advance();  // 1
        waitFor(2);
        writer.WriteInt(11);
        writer.Flush();
    });
    waitFor(1);
    writer.BeginMessage(2).WriteInt(20);  // does not send the other thread's pending message
    writer.Flush();
    EXPECT_THAT(writer.frames(), SizeIs(1));
    advance();  // 2
    other.join();

    const std::vector<SentFrame> frames = writer.frames();
    ASSERT_THAT(frames, SizeIs(2));
    EXPECT_THAT(PayloadOf(frames[0].bytes), ElementsAre(2, 20));
    EXPECT_THAT(PayloadOf(frames[1].bytes), ElementsAre(1, 10, 11));
}

TEST(WriterThreads, FramesFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kMessages = 200;
    RecordingWriter writer;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&writer, t] {
            for (int m = 0; m < kMessages; ++m) {
                // Sizes vary so that buffers grow while other threads send.
                const std::string text((m * 131 + t * 17) % 9000, static_cast<char>('A' + t));
                writer.BeginMessage(t);
                writer.WriteInt(m);
                writer.WriteString(text);
                writer.WriteInt(-m);
                writer.Flush();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }

    // The frames one after another are the byte stream a peer would receive.
    Bytes stream;
    for (const SentFrame& frame : writer.frames()) {
        stream.insert(stream.end(), frame.bytes.begin(), frame.bytes.end());
    }
    std::map<int, int> nextOfThread;
    int messages = 0;
    CFrameCutter cutter(CFrameCutter::Side::kClient);
    cutter.Append(stream.data(), stream.size(), [&](const uint8_t* payload, int length) {
        CInputStreamSocket reader(payload, length);
        int32_t thread = -1;
        int32_t m = -1;
        int32_t minusM = 1;
        std::string text;
        reader.ReadInt(thread).ReadInt(m).ReadString(text).ReadInt(minusM);
        ASSERT_TRUE(reader.IsOk());
        EXPECT_FALSE(reader.HasMoreData());
        EXPECT_EQ(m, nextOfThread[thread]++);
        EXPECT_EQ(minusM, -m);
        EXPECT_EQ(text,
                  std::string((m * 131 + thread * 17) % 9000, static_cast<char>('A' + thread)));
        ++messages;
    });
    EXPECT_EQ(messages, kThreads * kMessages);
    EXPECT_EQ(cutter.Buffered(), 0u);
}

}  // namespace
}  // namespace ruzd::net
