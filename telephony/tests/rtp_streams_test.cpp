// The RTP streams of voice channels: the ring buffer's arithmetic, the packets the sender makes,
// and the channel streams on the simulated boards with the callback thread running freely while
// the command thread starts, stops and removes them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_path.h"
#include "telephony/audio_ring_buffer.h"
#include "telephony/csp_audio_stream_source.h"
#include "telephony/file_audio_stream.h"
#include "telephony/rtp_audio_stream_target.h"
#include "telephony/rtp_channel_streams.h"
#include "telephony/tests/facade_fixture.h"
#include "testing/eventually.h"
#include "testing/rtp_receiver.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

std::vector<uint8_t> Counting(size_t size, uint8_t first = 0) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// Counts the buffer's notices.
class NoticeCounter : public AudioStream {
public:
    NoticeCounter() : AudioStream(nullptr) {}
    int32_t Open() override { return 0; }
    int32_t Close() override { return 0; }
    int32_t Start() override { return 0; }
    int32_t Stop() override { return 0; }
    void OnDataRead(AudioRingBuffer& /*buffer*/) override { ++reads; }
    void OnDataWritten(AudioRingBuffer& /*buffer*/) override { ++writes; }
    int reads = 0;
    int writes = 0;
};

TEST(AudioRingBufferTest, AReadAcrossTheEndTakesItsBytesInOrderAndTheFillOnce) {
    AudioRingBuffer ring(1536);
    NoticeCounter notices;
    ring.SetReadNotify(&notices);
    ring.SetWriteNotify(&notices);
    std::vector<uint8_t> scratch(1536);
    ASSERT_EQ(ring.Write(scratch.data(), 1200), 1200u);
    ASSERT_EQ(ring.Read(scratch.data(), 1200), 1200u);
    const std::vector<uint8_t> written = Counting(1000, 7);
    ASSERT_EQ(ring.Write(written.data(), 1000), 1000u);
    ASSERT_EQ(ring.Fill(), 1000u);
    ASSERT_EQ(ring.ReadPosition(), 1200u);

    std::vector<uint8_t> read(600);
    EXPECT_EQ(ring.Read(read.data(), 600), 600u);
    EXPECT_EQ(ring.ReadPosition(), 264u);
    EXPECT_EQ(ring.Fill(), 400u);
    EXPECT_EQ(read, std::vector<uint8_t>(written.begin(), written.begin() + 600));

    // 936 held, 600 free: a write of 700 takes 600.
    ASSERT_EQ(ring.Write(scratch.data(), 536), 536u);
    EXPECT_EQ(ring.Write(scratch.data(), 700), 600u);
    EXPECT_EQ(ring.FreeSpace(), 0u);
    // Nothing moved, nothing told.
    EXPECT_EQ(ring.Write(scratch.data(), 10), 0u);
    EXPECT_EQ(notices.writes, 4);
    EXPECT_EQ(notices.reads, 2);
}

TEST(RtpAudioStreamTargetTest, TwoBlocksBufferedGoAsTwoPacketsNumberedFromZero) {
    testing::RtpReceiver receiver;
    AudioRingBuffer ring(1536);
    RTPAudioStreamTarget target("127.0.0.1", receiver.port(), &ring);
    ASSERT_EQ(target.Open(), 0);
    ASSERT_EQ(target.Start(), 0);
    const std::vector<uint8_t> audio = Counting(1024);
    ASSERT_EQ(ring.Write(audio.data(), 1024), 1024u);

    testing::RtpStreamCheck stream;
    for (int n = 0; n < 2; ++n) {
        const std::optional<testing::RtpPacket> packet = receiver.Next();
        ASSERT_TRUE(packet);
        EXPECT_TRUE(stream.Check(*packet));
        EXPECT_EQ(packet->ssrc, 1u);
    }
    EXPECT_EQ(target.Close(), 0);
}

TEST(RtpAudioStreamTargetTest, ASenderNeverStartedClosesAtOnce) {
    AudioRingBuffer ring(1536);
    RTPAudioStreamTarget target("127.0.0.1", 9, &ring);
    ASSERT_EQ(target.Open(), 0);
    EXPECT_EQ(target.Close(), 0);
    EXPECT_EQ(target.Close(), 0);
}

class RtpStreamsOnBoardsTest : public FacadeBoardsimTest {
protected:
    void SetUp() override {
        WriteConfig("voice 1 8\nip 0 0\n");
        hardware_.emplace();
        PublishHardware(&*hardware_);
    }
    void TearDown() override {
        RTPStreamRemoveAll();
        PublishHardware(nullptr);
        hardware_.reset();
    }
    std::optional<TestFacade> hardware_;
};

TEST_F(RtpStreamsOnBoardsTest, ABlockThatDoesNotFitIsDroppedWholeAndALateOneMeetsNoSource) {
    EXPECT_EQ(Control("media hold"), "OK");
    const int32_t channel = hardware_->dx_open(1, "dxxxB1C1", 0);
    AudioRingBuffer ring(1536);
    CspAudioStreamSource source(channel, &ring);
    ASSERT_EQ(source.Open(), 0);
    EXPECT_EQ(Control("query stream dxxxB1C1"),
              "OK state=idle blocks=0 transfer=512 bargein=0 vad=0 format=0,0,0,0");
    ASSERT_EQ(source.Start(), 0);
    EXPECT_EQ(Control("query stream dxxxB1C1"),
              "OK state=streaming blocks=0 transfer=512 bargein=0 vad=0 format=1,3,64,8");

    std::vector<uint8_t> block = Counting(1024);
    ASSERT_EQ(ring.Write(block.data(), 1024), 1024u);
    EXPECT_EQ(
        CspAudioStreamSource::OnStreamData(channel, reinterpret_cast<char*>(block.data()), 600),
        600);
    EXPECT_EQ(ring.Fill(), 1024u);
    EXPECT_THAT(Texts(),
                Contains("csp_write(" + std::to_string(channel) + ") - overflow 600 bytes"));

    ASSERT_EQ(source.Stop(), 0);
    EXPECT_EQ(Control("query stream dxxxB1C1"),
              "OK state=stopped blocks=0 transfer=512 bargein=0 vad=0 format=1,3,64,8");
    EXPECT_EQ(
        CspAudioStreamSource::OnStreamData(channel, reinterpret_cast<char*>(block.data()), 100), 0);
    EXPECT_EQ(ring.Fill(), 1024u);
    EXPECT_THAT(Journal(),
                Contains("libecmt ec_stopch(" + std::to_string(channel) + ", 2, 32768) = 0"));
}

TEST_F(RtpStreamsOnBoardsTest, StreamsComeAndGoWhileTheBoardsDeliverFreely) {
    testing::RtpReceiver receiver;
    EXPECT_EQ(Control("speed 1000"), "OK");
    std::vector<int32_t> channels;
    for (int c = 1; c <= 8; ++c)
        channels.push_back(hardware_->dx_open(c, ("dxxxB1C" + std::to_string(c)).c_str(), 0));

    int operations = 0;
    while (operations < 1000) {
        for (const int32_t channel : channels) {
            EXPECT_EQ(hardware_->StartRTPStream(channel, "127.0.0.1", receiver.port()), 0);
            EXPECT_EQ(hardware_->StartRTPStream(channel, "127.0.0.1", receiver.port()), -1);
            operations += 2;
        }
        for (size_t i = 0; i < channels.size(); i += 2) {
            EXPECT_EQ(hardware_->StopRTPStream(channels[i]), 0);
            EXPECT_EQ(hardware_->RemoveRTPStream(channels[i + 1]), 0);
            EXPECT_EQ(hardware_->RemoveRTPStream(channels[i + 1]), -1);
            operations += 3;
        }
        RTPStreamStopAll();
        RTPStreamRemoveAll();
        EXPECT_EQ(RTPStreamCount(), 0u);
    }
    // The streams did stream: every packet that came is a whole one of some stream.
    const std::optional<testing::RtpPacket> packet = receiver.Next();
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->size, 524u);
    for (const int32_t channel : channels)
        EXPECT_EQ(hardware_->StopRTPStream(channel), -1);
}

TEST_F(RtpStreamsOnBoardsTest, AVoiceFileIsCopiedThroughARingBufferBlockByBlock) {
    const std::vector<uint8_t> voice = Counting(2048 + 100, 3);
    const std::filesystem::path from = platform::MapWindowsPath("C:\\VOX\\FROM.VOX");
    const std::filesystem::path to = platform::MapWindowsPath("C:\\VOX\\TO.VOX");
    std::filesystem::create_directories(from.parent_path());
    std::ofstream(from, std::ios::binary)
        .write(reinterpret_cast<const char*>(voice.data()),
               static_cast<std::streamsize>(voice.size()));

    AudioRingBuffer ring(1536);
    FileAudioStreamSource source("C:\\VOX\\FROM.VOX", &ring);
    FileAudioStreamTarget target("C:\\VOX\\TO.VOX", &ring);
    ASSERT_EQ(source.Open(), 0);
    ASSERT_EQ(target.Open(), 0);
    ASSERT_EQ(target.Start(), 0);
    ASSERT_EQ(source.Start(), 0);
    // Whole blocks go through; the last 100 bytes stay in the buffer.
    ASSERT_TRUE(testing::Eventually([&] { return std::filesystem::file_size(to) == 2048; }));
    ASSERT_TRUE(testing::Eventually([&] { return ring.Fill() == 100; }));
    EXPECT_EQ(source.Close(), 0);
    EXPECT_EQ(target.Close(), 0);
    std::ifstream copied(to, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(copied)),
                                     std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, std::vector<uint8_t>(voice.begin(), voice.begin() + 2048));
    EXPECT_THAT(Texts(), Contains("dx_filewrite(C:\\VOX\\TO.VOX) 512 bytes\n"));
}

}  // namespace
}  // namespace ruzd::telephony
