// Compression and encryption of a text socket connection, checked against published vectors
// and against zlib and RC4 run directly on the same bytes.

#include <gtest/gtest.h>
#include <zlib.h>

#include <nettle/arcfour.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/rc4_cipher.h"
#include "net/wire_transform.h"
#include "net/zlib_stream.h"
#include "testing/random_bytes.h"

namespace ruzd::net {
namespace {

using testing::RandomBytes;

std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(Rc4Cipher, MatchesRfc6229ForTheFortyBitKey) {
    const std::vector<uint8_t> key = Hex("0102030405");
    Rc4Cipher cipher;
    cipher.SetKey(key.data(), key.size());
    std::vector<uint8_t> stream(32, 0);
    ASSERT_TRUE(cipher.Crypt(stream.data(), stream.size()));
    EXPECT_EQ(stream, Hex("b2396305f03dc027ccc3524a0a1118a8"
                          "6982944f18fc82d589c403a47a0d0919"));
}

TEST(Rc4Cipher, MatchesTheClassicKeyPlaintextVectorAndRunsOnAcrossCalls) {
    const std::vector<uint8_t> key = Bytes("Key");
    Rc4Cipher cipher;
    cipher.SetKey(key.data(), key.size());
    std::vector<uint8_t> text = Bytes("Plaintext");
    // Two calls continue one key stream.
    ASSERT_TRUE(cipher.Crypt(text.data(), 4));
    ASSERT_TRUE(cipher.Crypt(text.data() + 4, text.size() - 4));
    EXPECT_EQ(text, Hex("bbf316e8d940af0ad3"));
}

TEST(Rc4Cipher, RefusesWithoutKey) {
    Rc4Cipher cipher;
    uint8_t byte = 1;
    EXPECT_FALSE(cipher.Crypt(&byte, 1));
    cipher.SetKey(Rc4Key{});
    cipher.Clear();
    EXPECT_FALSE(cipher.Crypt(&byte, 1));
}

TEST(Rc4Key, IsTheMd5DigestOfThePassword) {
    // md5sum of the 32 password characters.
    const Rc4Key key = DeriveRc4Key(kFileSocketPassword);
    EXPECT_EQ(std::vector<uint8_t>(key.begin(), key.end()),
              Hex("4dd28c817ba5b636181b369e1e506efd"));
    EXPECT_EQ(kFileSocketPassword.size(), 32u);
}

TEST(ZlibStream, IncompressibleMegabyteComesOutWholeFromOneMessage) {
    DeflateStream deflate;
    InflateStream inflate;
    ASSERT_TRUE(deflate.Init());
    ASSERT_TRUE(inflate.Init());
    const std::vector<uint8_t> data = RandomBytes(1 << 20, 7);
    std::vector<uint8_t> wire;
    ASSERT_TRUE(deflate.Compress(data.data(), data.size(), wire));
    // Larger than the input plus 32: the case a fixed output buffer would cut short.
    EXPECT_GT(wire.size(), data.size() + 32);
    std::vector<uint8_t> out;
    ASSERT_TRUE(inflate.Decompress(wire.data(), wire.size(), out));
    EXPECT_EQ(out, data);
}

TEST(ZlibStream, EachMessageInflatesAsSoonAsItArrivesAndTheStreamRunsOn) {
    DeflateStream deflate;
    InflateStream inflate;
    ASSERT_TRUE(deflate.Init());
    ASSERT_TRUE(inflate.Init());
    for (const std::string message : {"TTSYNC\r", "HEARTB 1 x\r", "TTSYNC\r"}) {
        std::vector<uint8_t> wire;
        ASSERT_TRUE(deflate.Compress(Bytes(message).data(), message.size(), wire));
        std::vector<uint8_t> out;
        ASSERT_TRUE(inflate.Decompress(wire.data(), wire.size(), out));
        EXPECT_EQ(std::string(out.begin(), out.end()), message);
    }
    // The repeated message refers back into the stream's window.
    EXPECT_EQ(deflate.TotalIn(), inflate.TotalOut());
}

TEST(ZlibStream, InputEndingInsideABlockIsNoErrorAndWaitsForTheRest) {
    DeflateStream deflate;
    InflateStream inflate;
    ASSERT_TRUE(deflate.Init());
    ASSERT_TRUE(inflate.Init());
    const std::vector<uint8_t> data = RandomBytes(100000, 3);
    std::vector<uint8_t> wire;
    ASSERT_TRUE(deflate.Compress(data.data(), data.size(), wire));
    std::vector<uint8_t> out;
    // Byte by byte for the header, then in uneven pieces; no piece is an error.
    size_t at = 0;
    for (; at < 5; ++at) {
        ASSERT_TRUE(inflate.Decompress(wire.data() + at, 1, out));
    }
    ASSERT_TRUE(inflate.Decompress(wire.data() + at, 0, out));
    while (at < wire.size()) {
        const size_t piece = std::min<size_t>(777, wire.size() - at);
        ASSERT_TRUE(inflate.Decompress(wire.data() + at, piece, out));
        at += piece;
    }
    EXPECT_EQ(out, data);
}

TEST(ZlibStream, CorruptDataFails) {
    InflateStream inflate;
    ASSERT_TRUE(inflate.Init());
    const std::vector<uint8_t> junk = Bytes("this is not a zlib stream");
    std::vector<uint8_t> out;
    EXPECT_FALSE(inflate.Decompress(junk.data(), junk.size(), out));
    InflateStream closed;
    EXPECT_FALSE(closed.Decompress(junk.data(), junk.size(), out));
}

// The receiving side done with zlib and nettle directly.
class IndependentReceiver {
public:
    IndependentReceiver() {
        const Rc4Key key = DeriveRc4Key(kFileSocketPassword);
        arcfour_set_key(&cipher_, key.size(), key.data());
        EXPECT_EQ(inflateInit(&stream_), Z_OK);
    }
    ~IndependentReceiver() { inflateEnd(&stream_); }

    std::vector<uint8_t> Take(std::vector<uint8_t> wire, bool encrypted, bool compressed) {
        if (encrypted) {
            arcfour_crypt(&cipher_, wire.size(), wire.data(), wire.data());
        }
        if (!compressed) {
            return wire;
        }
        std::vector<uint8_t> out(wire.size() * 4 + 1024);
        stream_.next_in = wire.data();
        stream_.avail_in = static_cast<uInt>(wire.size());
        stream_.next_out = out.data();
        stream_.avail_out = static_cast<uInt>(out.size());
        EXPECT_EQ(inflate(&stream_, Z_SYNC_FLUSH), Z_OK);
        EXPECT_EQ(stream_.avail_in, 0u);
        out.erase(out.end() - static_cast<std::ptrdiff_t>(stream_.avail_out), out.end());
        return out;
    }

private:
    arcfour_ctx cipher_{};
    z_stream stream_{};
};

TEST(WireTransform, CompressesBeforeEncrypting) {
    WireTransform transform;
    transform.InitCrypto(kFileSocketPassword);
    ASSERT_TRUE(transform.InitCompression(-1));
    IndependentReceiver receiver;

    // The handshake runs encrypted and uncompressed, the rest as negotiated; the cipher state
    // runs on across the switch.
    const std::vector<std::pair<bool, bool>> settings = {
        {true, false}, {true, true}, {false, true}, {true, true}};
    int n = 0;
    for (const auto& [encrypt, compress] : settings) {
        transform.SetEncryption(encrypt);
        transform.SetCompression(compress);
        const std::vector<uint8_t> message = Bytes("CNPROP message " + std::to_string(n++) + "\r");
        std::vector<uint8_t> wire;
        ASSERT_TRUE(transform.Encode(message.data(), message.size(), wire));
        EXPECT_EQ(receiver.Take(wire, encrypt, compress), message);
    }
}

TEST(WireTransform, DecodeUndoesEncodeInBothModes) {
    WireTransform sender;
    WireTransform receiver;
    sender.InitCrypto(kFileSocketPassword);
    receiver.InitCrypto(kFileSocketPassword);
    ASSERT_TRUE(sender.InitCompression(-1));
    ASSERT_TRUE(receiver.InitCompression(-1));
    for (const bool compress : {false, true}) {
        sender.SetEncryption(true);
        receiver.SetEncryption(true);
        sender.SetCompression(compress);
        receiver.SetCompression(compress);
        const std::vector<uint8_t> message = RandomBytes(70000, compress ? 1 : 2);
        std::vector<uint8_t> wire;
        ASSERT_TRUE(sender.Encode(message.data(), message.size(), wire));
        // Received in two pieces.
        std::vector<uint8_t> out;
        ASSERT_TRUE(receiver.Decode(wire.data(), 1000, out));
        ASSERT_TRUE(receiver.Decode(wire.data() + 1000, wire.size() - 1000, out));
        EXPECT_EQ(out, message);
    }
}

TEST(WireTransform, WithoutKeysEncryptedMessagesAreRefused) {
    WireTransform transform;
    transform.SetEncryption(true);
    std::vector<uint8_t> wire = {9};
    const std::vector<uint8_t> message = Bytes("x");
    EXPECT_FALSE(transform.Encode(message.data(), message.size(), wire));
    EXPECT_EQ(wire, std::vector<uint8_t>{9});
    std::vector<uint8_t> out;
    EXPECT_FALSE(transform.Decode(wire.data(), wire.size(), out));
}

TEST(WireTransform, StatisticsFollowTheCompressionInForce) {
    WireTransform sender;
    ASSERT_TRUE(sender.InitCompression(-1));
    const std::vector<uint8_t> message(10000, 'a');
    std::vector<uint8_t> wire;
    ASSERT_TRUE(sender.Encode(message.data(), message.size(), wire));
    EXPECT_EQ(sender.SentBytes(true), 10000u);
    EXPECT_EQ(sender.SendCompressionRatio(), 0.0);

    sender.SetCompression(true);
    wire.clear();
    ASSERT_TRUE(sender.Encode(message.data(), message.size(), wire));
    EXPECT_EQ(sender.SentBytes(false), 10000u);
    EXPECT_EQ(sender.SentBytes(true), wire.size());
    EXPECT_GT(sender.SendCompressionRatio(), 10.0);
}

}  // namespace
}  // namespace ruzd::net
