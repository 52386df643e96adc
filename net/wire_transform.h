#pragma once

// What a text socket does to its bytes on their way to and from the network: compression
// (one zlib stream per direction) and then encryption (one RC4 state per direction) on the way
// out, the reverse on the way in. Which of the two is in force is settled per connection by
// the handshake and may change between two messages; the streams and key states run on across
// such changes.
//
// The socket serialises the sending side under its send lock and runs the receiving side on
// its own thread; the statistics may be read from any thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "net/rc4_cipher.h"
#include "net/zlib_stream.h"

namespace ruzd::net {

class WireTransform {
public:
    WireTransform() = default;
    WireTransform(const WireTransform&) = delete;
    WireTransform& operator=(const WireTransform&) = delete;

    // New keys for both directions from the password. Without them every encrypted send is
    // dropped and every encrypted receive fails.
    void InitCrypto(std::string_view password);
    void ReleaseCrypto();
    // New zlib streams for both directions; false when zlib cannot make them.
    bool InitCompression(int level);
    void EndCompression();

    void SetEncryption(bool on) { encrypt_.store(on); }
    void SetCompression(bool on) { compress_.store(on); }
    bool Encryption() const { return encrypt_.load(); }
    bool Compression() const { return compress_.load(); }

    // The message as it goes on the wire, appended to `out`; false when compression or
    // encryption fails (the message must then be dropped; `out` is left as it was).
    bool Encode(const uint8_t* data, size_t length, std::vector<uint8_t>& out);
    // Received wire bytes, decrypted in place, then inflated (or taken as they are) and
    // appended to `out`; false on a failure of either step, or when they inflate to more than
    // `limit` bytes.
    bool Decode(uint8_t* wire, size_t length, std::vector<uint8_t>& out, size_t limit = SIZE_MAX);
    // The same without compression in force: the bytes are decrypted where they stand.
    bool DecodeInPlace(uint8_t* wire, size_t length);
    // Decode a bounded piece at a time, for received bytes that may inflate to far more than
    // anyone wants to hold: StartDecode decrypts them in place and hands them to inflate (they
    // must stay where they are until DecodeNext gives 0); each DecodeNext gives up to `room`
    // bytes of what they inflate to, 0 once they yield nothing more, none on corrupt data.
    bool StartDecode(uint8_t* wire, size_t length);
    std::optional<size_t> DecodeNext(uint8_t* out, size_t room);

    // Statistics: with compression in force, the zlib totals (`onWire` the compressed side),
    // else the counts of bytes that passed Encode and Decode.
    uint64_t SentBytes(bool onWire) const;
    uint64_t ReceivedBytes(bool onWire) const;
    // Uncompressed / compressed, 0 when nothing was compressed.
    double SendCompressionRatio() const;
    double ReceiveCompressionRatio() const;
    void ResetCounters();

private:
    std::atomic<bool> encrypt_{false};
    std::atomic<bool> compress_{false};
    Rc4Cipher send_cipher_;
    Rc4Cipher receive_cipher_;
    DeflateStream deflate_;
    InflateStream inflate_;
    std::atomic<uint64_t> plain_sent_{0};
    std::atomic<uint64_t> plain_received_{0};
    // The zlib totals as of the last message, for readers on other threads.
    std::atomic<uint64_t> deflate_in_{0};
    std::atomic<uint64_t> deflate_out_{0};
    std::atomic<uint64_t> inflate_in_{0};
    std::atomic<uint64_t> inflate_out_{0};
};

}  // namespace ruzd::net
