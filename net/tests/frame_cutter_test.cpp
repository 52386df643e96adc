#include "net/frame_cutter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "net/tests/stream_test_util.h"

namespace ruzd::net {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace ruzd::net::testing;

// Feeds chunks to a cutter and keeps the payloads it hands over.
class Peer {
public:
    explicit Peer(CFrameCutter::Side side) : cutter_(side) {}

    void Receive(const Bytes& chunk) {
        cutter_.Append(chunk.data(), chunk.size(), [this](const uint8_t* payload, int length) {
            payloads_.emplace_back(payload, payload + length);
        });
    }

    std::vector<Bytes>& payloads() { return payloads_; }
    CFrameCutter& cutter() { return cutter_; }

private:
    CFrameCutter cutter_;
    std::vector<Bytes> payloads_;
};

const Bytes kFive = {0x01, 0x01, 0x05, 0x00, 0x05, 0xFF};

TEST(FrameCutter, WholeFrameInOneChunk) {
    for (auto side : {CFrameCutter::Side::kListener, CFrameCutter::Side::kClient}) {
        Peer peer(side);
        peer.Receive(kFive);
        EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}));
        EXPECT_EQ(peer.cutter().Buffered(), 0u);
    }
}

TEST(FrameCutter, FrameSplitOverChunksWaitsForTheRest) {
    Peer peer(CFrameCutter::Side::kListener);
    peer.Receive({0x01, 0x01, 0x05});
    EXPECT_THAT(peer.payloads(), IsEmpty());
    EXPECT_EQ(peer.cutter().Buffered(), 3u);
    peer.Receive({0x00, 0x05, 0xFF});
    EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}));
    EXPECT_EQ(peer.cutter().Buffered(), 0u);
}

TEST(FrameCutter, ByteByByteGivesTheSameFrames) {
    const Bytes stream = Concat({kFive, {0x02, 0x00, 0x02, 0x41, 0x42, 0x00, 0x83, 0xFF}, kFive});
    Peer whole(CFrameCutter::Side::kClient);
    whole.Receive(stream);
    Peer trickle(CFrameCutter::Side::kClient);
    for (uint8_t b : stream) {
        trickle.Receive({b});
    }
    EXPECT_THAT(whole.payloads(), ElementsAre(Bytes{0x05}, Bytes{0x41, 0x42}, Bytes{0x05}));
    EXPECT_EQ(trickle.payloads(), whole.payloads());
}

TEST(FrameCutter, FramesAmongStrayBytesComeTheSameInChunksOfAnySize) {
    // Stray bytes before and between frames, and a frame longer than some chunks: what the
    // cutter keeps is moved forward now and then, never lost or doubled.
    Bytes payload(300);
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(0x10 + i % 0x60);
    }
    const Bytes longFrame = Concat({{0x02, 0x01, 0x2C}, payload, {0x00, 0x00, 0xFF}});
    const Bytes stream =
        Concat({Bytes(500, 0x00), longFrame, Bytes(100, 0x7F), kFive, Bytes(40, 0x00), kFive});
    for (size_t chunk : {1, 3, 64, 257, 2000}) {
        Peer peer(CFrameCutter::Side::kClient);
        for (size_t at = 0; at < stream.size(); at += chunk) {
            peer.Receive(Bytes(
                stream.begin() + static_cast<std::ptrdiff_t>(at),
                stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), at + chunk))));
        }
        EXPECT_THAT(peer.payloads(), ElementsAre(payload, Bytes{0x05}, Bytes{0x05}))
            << "chunks of " << chunk;
        EXPECT_EQ(peer.cutter().Buffered(), 0u);
    }
}

TEST(FrameCutter, TwoFramesInOneChunkComeInOrder) {
    Peer peer(CFrameCutter::Side::kClient);
    peer.Receive(Concat({kFive, {0x01, 0x02, 0x06, 0x07, 0x00, 0x0D, 0xFF}, {0x01, 0x01}}));
    EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}, Bytes{0x06, 0x07}));
    EXPECT_EQ(peer.cutter().Buffered(), 2u);  // the start of a third frame waits
}

TEST(FrameCutter, LengthFormThreeFrameOnBothSides) {
    const Bytes payload(65536, 0x01);
    const Bytes frame = Concat({{0x03, 0x01, 0x00, 0x00}, payload, {0x00, 0x00, 0xFF}});
    for (auto side : {CFrameCutter::Side::kListener, CFrameCutter::Side::kClient}) {
        Peer peer(side);
        peer.Receive(Bytes(frame.begin(), frame.begin() + 40000));
        peer.Receive(Bytes(frame.begin() + 40000, frame.end()));
        ASSERT_EQ(peer.payloads().size(), 1u);
        EXPECT_EQ(peer.payloads()[0], payload);
    }
}

TEST(FrameCutter, StrayByteInFrontIsSkipped) {
    Peer peer(CFrameCutter::Side::kClient);
    peer.Receive(Concat({{0x00}, kFive}));
    EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}));
}

TEST(FrameCutter, WrongEndByteResumesOneByteAfterTheHeader) {
    // 01 06 announces six payload bytes whose end byte would be FE; the frame hidden inside is
    // found by the resumed scan.
    Peer peer(CFrameCutter::Side::kListener);
    peer.Receive(Concat({{0x01, 0x06}, kFive, {0x00, 0x00, 0xFE}}));
    EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}));
}

TEST(FrameCutter, ZeroLengthIsAFrameOnlyForTheListener) {
    const Bytes empty = {0x01, 0x00, 0x00, 0x00, 0xFF};
    Peer listener(CFrameCutter::Side::kListener);
    listener.Receive(empty);
    EXPECT_THAT(listener.payloads(), ElementsAre(Bytes{}));

    Peer client(CFrameCutter::Side::kClient);
    client.Receive(Concat({empty, kFive}));
    EXPECT_THAT(client.payloads(), ElementsAre(Bytes{0x05}));
}

TEST(FrameCutter, PeersKeepSeparateBuffers) {
    Peer first(CFrameCutter::Side::kListener);
    Peer second(CFrameCutter::Side::kListener);
    first.Receive({0x01, 0x01});
    second.Receive({0x01, 0x02, 0x08});
    first.Receive({0x09, 0x00, 0x09, 0xFF});
    second.Receive({0x09, 0x00, 0x11, 0xFF});
    EXPECT_THAT(first.payloads(), ElementsAre(Bytes{0x09}));
    EXPECT_THAT(second.payloads(), ElementsAre(Bytes{0x08, 0x09}));
}

TEST(FrameCutter, ClearDropsAHalfFrame) {
    Peer peer(CFrameCutter::Side::kListener);
    peer.Receive({0x01, 0x01, 0x05, 0x00});
    peer.cutter().Clear();
    EXPECT_EQ(peer.cutter().Buffered(), 0u);
    peer.Receive({0x05, 0xFF});
    EXPECT_THAT(peer.payloads(), IsEmpty());
    peer.Receive(kFive);
    EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}));
}

TEST(FrameCutter, HandlerMayClearTheCutter) {
    // As when the owner drops the connection while handling a message: the frames behind it in
    // the same chunk are not handed over.
    CFrameCutter cutter(CFrameCutter::Side::kClient);
    const Bytes stream = Concat({kFive, kFive, {0x01}});
    int handed = 0;
    cutter.Append(stream.data(), stream.size(), [&](const uint8_t*, int) {
        ++handed;
        cutter.Clear();
    });
    EXPECT_EQ(handed, 1);
    EXPECT_EQ(cutter.Buffered(), 0u);
}

TEST(FrameCutter, AtMostTheFramesAskedForAreHandedAndTheRestOnTheNextCall) {
    CFrameCutter cutter(CFrameCutter::Side::kListener);
    const Bytes six = {0x01, 0x01, 0x06, 0x00, 0x06, 0xFF};
    const Bytes stream = Concat({kFive, kFive, kFive, six, {0x01, 0x01}});
    std::vector<Bytes> payloads;
    const auto keep = [&](const uint8_t* payload, int length) {
        payloads.emplace_back(payload, payload + length);
    };
    EXPECT_TRUE(cutter.Append(stream.data(), stream.size(), keep, 2));
    EXPECT_THAT(payloads, ElementsAre(Bytes{0x05}, Bytes{0x05}));
    // The turns that follow bring no bytes.
    EXPECT_TRUE(cutter.Append(nullptr, 0, keep, 1));
    EXPECT_FALSE(cutter.Append(nullptr, 0, keep, 2));
    EXPECT_THAT(payloads, ElementsAre(Bytes{0x05}, Bytes{0x05}, Bytes{0x05}, Bytes{0x06}));
    // The part of a frame waits for its rest as before.
    EXPECT_EQ(cutter.Buffered(), 2u);
    cutter.Append(kFive.data() + 2, kFive.size() - 2, keep, 1);
    EXPECT_EQ(payloads.back(), Bytes{0x05});
    EXPECT_EQ(cutter.Buffered(), 0u);
}

TEST(FrameCutter, FalseHeaderWaitsForItsLength) {
    // A stray 02 makes the following bytes read as a 257-byte frame; the cutter cannot tell it
    // from a real one until that many bytes are in.
    Peer peer(CFrameCutter::Side::kClient);
    peer.Receive(Concat({{0x02}, kFive}));
    EXPECT_THAT(peer.payloads(), IsEmpty());
    peer.Receive(Bytes(300, 0x00));
    EXPECT_THAT(peer.payloads(), ElementsAre(Bytes{0x05}));
}

}  // namespace
}  // namespace ruzd::net
