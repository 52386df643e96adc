// Fuzz entry over the receiving path of the text-command protocol (the file-transfer port): the
// peer's bytes are inflated when compression is in force, cut into lines, each line decoded and
// split into its command word and parameters, and the handshake's lines (CNPROP, CURTIM) are fed
// to both sides of the opening exchange.
//
// Input: one control byte, then the peer's byte stream. Bit 0 picks wide lines (UTF-16LE), bit 1
// compression; the other bits pick the chunk size in which the stream arrives (0: in one piece).
//
// Checked besides memory safety: the lines cut do not depend on how the stream was chunked; a
// line's text and every parameter survive encoding and decoding again; a block length read is
// within its maximum; deflating what was inflated and inflating it again gives it back.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "net/peer_time.h"
#include "net/text_handshake.h"
#include "net/text_line.h"
#include "net/text_parameter.h"
#include "net/wire_transform.h"
#include "testing/fuzz_check.h"

namespace {

using ruzd::net::TextHandshake;

using Bytes = std::vector<uint8_t>;

// What inflating a stream may yield before the entry stops looking (keeps the fuzzer's memory
// within bounds whatever the connection itself allows).
constexpr size_t kMaxInflated = 1 << 20;

// One side of the exchange with everything it sends kept and a fixed clock.
class RecordingLink : public TextHandshake::Link {
public:
    void SendLine(const std::string& line) override {
        FUZZ_CHECK(!line.empty() && line.back() == '\r');
        ++lines_sent_;
    }
    bool Encryption() const override { return encrypt_; }
    bool Compression() const override { return compress_; }
    void ApplySettings(bool encrypt, bool compress) override {
        encrypt_ = encrypt;
        compress_ = compress;
    }
    void OfferedSettings(bool& encrypt, bool& compress) override {
        encrypt = true;
        compress = true;
    }
    std::string OwnTimeText() override { return "2026-12-08T08:05:10-01:00"; }
    std::optional<std::string> OwnStationName() override { return "NODE 1"; }
    std::string ClockSyncText() override { return "2026-12-08T08:05:10-01:00"; }
    ruzd::platform::WallTime Now() override { return ruzd::platform::WallTime{}; }

private:
    bool encrypt_ = false;
    bool compress_ = false;
    int lines_sent_ = 0;
};

// The stream as the receiving side sees it after the wire transform, fed in chunks; none when
// inflating fails.
std::optional<Bytes> Receive(const uint8_t* data, size_t size, bool compressed, size_t chunk) {
    if (!compressed) {
        return Bytes(data, data + size);
    }
    ruzd::net::WireTransform transform;
    FUZZ_CHECK(transform.InitCompression(-1));
    transform.SetCompression(true);
    Bytes wire(data, data + size);
    Bytes out;
    if (chunk == 0) {
        chunk = std::max<size_t>(size, 1);
    }
    for (size_t offset = 0; offset < size; offset += chunk) {
        if (!transform.Decode(wire.data() + offset, std::min(chunk, size - offset), out)) {
            return std::nullopt;
        }
        if (out.size() > kMaxInflated) {
            return std::nullopt;
        }
    }
    return out;
}

// Deflating the bytes and inflating them again gives them back.
void CheckCompressionRoundTrip(const Bytes& bytes) {
    ruzd::net::WireTransform sender;
    ruzd::net::WireTransform receiver;
    FUZZ_CHECK(sender.InitCompression(-1) && receiver.InitCompression(-1));
    sender.SetCompression(true);
    receiver.SetCompression(true);
    Bytes wire;
    FUZZ_CHECK(sender.Encode(bytes.data(), bytes.size(), wire));
    Bytes back;
    FUZZ_CHECK(receiver.Decode(wire.data(), wire.size(), back));
    FUZZ_CHECK(back == bytes);
}

// The lines of the stream (terminators dropped) and what is left after the last one.
std::vector<Bytes> CutLines(const Bytes& stream, bool wide, size_t& leftover) {
    std::vector<Bytes> lines;
    size_t at = 0;
    while (const std::optional<size_t> end =
               ruzd::net::FindLineEnd(stream.data() + at, stream.size() - at, wide)) {
        const size_t terminator = wide ? 2 : 1;
        FUZZ_CHECK(at + *end + terminator <= stream.size());
        lines.emplace_back(stream.begin() + at, stream.begin() + at + *end);
        at += *end + terminator;
    }
    leftover = stream.size() - at;
    return lines;
}

// Cutting the stream as it arrives piece by piece (what is not yet a line waits for the next
// piece) gives the same lines.
void CheckChunkedCut(const Bytes& stream, bool wide, size_t chunk,
                     const std::vector<Bytes>& whole) {
    if (chunk == 0) {
        return;
    }
    std::vector<Bytes> lines;
    Bytes pending;
    for (size_t offset = 0; offset < stream.size(); offset += chunk) {
        pending.insert(pending.end(), stream.begin() + offset,
                       stream.begin() + std::min(stream.size(), offset + chunk));
        size_t leftover = 0;
        for (Bytes& line : CutLines(pending, wide, leftover)) {
            lines.push_back(std::move(line));
        }
        pending.erase(pending.begin(), pending.end() - leftover);
    }
    FUZZ_CHECK(lines == whole);
}

void TakeLine(const Bytes& bytes, bool wide, TextHandshake& accepting, RecordingLink& acceptingLink,
              TextHandshake& connecting, RecordingLink& connectingLink) {
    const std::string text = ruzd::net::DecodeLineText(bytes.data(), bytes.size(), wide);
    const std::string encoded = ruzd::net::EncodeLineText(text, wide);
    FUZZ_CHECK(ruzd::net::DecodeLineText(reinterpret_cast<const uint8_t*>(encoded.data()),
                                         encoded.size(), wide) == text);

    std::string word;
    std::string parameterText;
    ruzd::net::SplitCommandLine(text, word, parameterText);
    const ruzd::net::SocketParameters parameters = ruzd::net::SplitParameters(parameterText);
    for (const std::string& parameter : parameters) {
        FUZZ_CHECK(ruzd::net::DecodeParameter(ruzd::net::EncodeParameter(parameter)) == parameter);
    }

    if (!parameters.empty()) {
        constexpr size_t kMaximum = 1 << 20;
        if (const std::optional<size_t> length =
                ruzd::net::ParseBlockLength(parameters[0], kMaximum)) {
            FUZZ_CHECK(*length <= kMaximum);
        }
        if (const std::optional<uint64_t> stamp = ruzd::net::ParseHeartbeatStamp(parameters[0])) {
            FUZZ_CHECK(ruzd::net::FormatHeartbeatStamp(*stamp) == parameters[0]);
        }
    }
    if (word == "CNPROP") {
        accepting.OnCnprop(parameters, acceptingLink);
        connecting.OnCnprop(parameters, connectingLink);
    } else if (word == "CURTIM" && !parameters.empty()) {
        accepting.RecordPeerTime(parameters[0], acceptingLink);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t control = data[0];
    const bool wide = (control & 1) != 0;
    const bool compressed = (control & 2) != 0;
    const size_t chunk = control >> 2;
    ++data;
    --size;

    const std::optional<Bytes> stream = Receive(data, size, compressed, chunk);
    if (!stream) {
        return 0;
    }
    if (compressed) {
        FUZZ_CHECK(Receive(data, size, true, 0) == stream);
        CheckCompressionRoundTrip(*stream);
    }

    size_t leftover = 0;
    const std::vector<Bytes> lines = CutLines(*stream, wide, leftover);
    CheckChunkedCut(*stream, wide, chunk, lines);

    RecordingLink acceptingLink;
    RecordingLink connectingLink;
    TextHandshake accepting(true);
    TextHandshake connecting(false);
    accepting.BeginAccepting(acceptingLink);
    connecting.BeginConnecting(connectingLink);
    for (const Bytes& line : lines) {
        TakeLine(line, wide, accepting, acceptingLink, connecting, connectingLink);
    }
    const bool done = accepting.State() == ruzd::net::kHandshakeDone;
    FUZZ_CHECK(accepting.Finish(acceptingLink) == done);
    connecting.Finish(connectingLink);
    return 0;
}
