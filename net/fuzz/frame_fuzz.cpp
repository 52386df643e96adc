// Fuzz entry over the receiving path of the binary message stream: bytes from a peer are cut into
// frames, and every payload is read in arbitrary ways and then re-encoded.
//
// Input: one control byte, then the peer's byte stream. Bit 0 of the control byte picks the side
// (0 listener, 1 client); the other bits pick the chunk size in which the stream arrives (0: in
// one piece) and vary the sequence of reads.
//
// Checked besides memory safety: the frames cut do not depend on how the stream was chunked; no
// read moves outside the payload or sets the ok flag again; failed reads yield zeros; a payload's
// values, written out again, make one well-formed frame that reads back the same.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "testing/fuzz_check.h"

namespace {

using ruzd::net::CCallbackOutputStream;
using ruzd::net::CFrameCutter;
using ruzd::net::CInputStreamSocket;

using Payload = std::vector<uint8_t>;

std::vector<Payload> Cut(CFrameCutter::Side side, const uint8_t* data, size_t size, size_t chunk,
                         size_t& leftover) {
    CFrameCutter cutter(side);
    std::vector<Payload> frames;
    const auto collect = [&](const uint8_t* payload, int length) {
        FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) <= size);
        frames.emplace_back(payload, payload + length);
    };
    if (chunk == 0) {
        chunk = size;
    }
    for (size_t offset = 0; offset < size; offset += chunk) {
        cutter.Append(data + offset, std::min(chunk, size - offset), collect);
    }
    FUZZ_CHECK(cutter.Buffered() <= size);
    leftover = cutter.Buffered();
    return frames;
}

// Mixes every kind of read over one payload and checks the reader's promises after each.
void ReadInArbitraryWays(const Payload& payload, unsigned seed) {
    CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    const int length = static_cast<int>(payload.size());
    int lastPosition = 0;
    bool wasOk = true;
    for (int step = 0; step < 3 * length + 16 && reader.HasMoreData(); ++step) {
        const unsigned choice = (seed + step * 5u) % 12;
        bool zeroed = true;  // whether the read's output is all zeros
        switch (choice) {
            case 0: {
                int32_t v = 1;
                reader.ReadInt(v);
                zeroed = v == 0;
                break;
            }
            case 1: {
                uint32_t v = 1;
                reader.ReadUInt(v);
                zeroed = v == 0;
                break;
            }
            case 2: {
                int32_t v = 1;
                reader.ReadNonNegative(v);
                FUZZ_CHECK(v >= 0);
                zeroed = v == 0;
                break;
            }
            case 3: {
                int8_t v = 1;
                reader.ReadChar(v);
                zeroed = v == 0;
                break;
            }
            case 4: {
                uint8_t v = 1;
                reader.ReadByte(v);
                zeroed = v == 0;
                break;
            }
            case 5: {
                int16_t v = 1;
                reader.ReadShort(v);
                zeroed = v == 0;
                break;
            }
            case 6: {
                uint16_t v = 1;
                reader.ReadWord(v);
                zeroed = v == 0;
                break;
            }
            case 7: {
                std::string text = "x";
                reader.ReadString(text);
                zeroed = text.empty();
                break;
            }
            case 8: {
                std::vector<char> buffer(1 + (seed + step) % 64, 'x');
                const bool read =
                    reader.ReadStringBuffer(buffer.data(), static_cast<int>(buffer.size()));
                zeroed = buffer[0] == '\0';
                FUZZ_CHECK(!read || std::string(buffer.data()).size() < buffer.size());
                break;
            }
            case 9: {
                const int expected = static_cast<int>((seed * 31u + step) % 70);
                std::vector<uint8_t> buffer(expected, 0xAA);
                const bool read = reader.ReadBytes(buffer.data(), expected);
                if (!read) {
                    for (uint8_t b : buffer) {
                        FUZZ_CHECK(b == 0);
                    }
                }
                break;
            }
            case 10: {
                int32_t v = 1;
                reader.ReadLong(v);
                zeroed = v == 0;
                break;
            }
            default: {
                enum class Code : int32_t { kNone = 0 };
                Code v = static_cast<Code>(1);
                reader.ReadEnum(v);
                zeroed = v == Code::kNone;
                break;
            }
        }
        const int position = reader.Position();
        FUZZ_CHECK(position >= lastPosition && position <= length);
        FUZZ_CHECK(!reader.IsOk() ? true : wasOk);  // nothing sets the flag again
        if (wasOk && !reader.IsOk()) {
            FUZZ_CHECK(zeroed);
        }
        wasOk = reader.IsOk();
        lastPosition = position;
    }
}

struct Value {
    enum class Kind { kInt, kText, kBytes } kind;
    int32_t number = 0;
    std::string text;
    std::vector<uint8_t> bytes;

    bool operator==(const Value&) const = default;
};

// Reads values by their tags until the payload ends or a value cannot be read; true when the
// whole payload was read.
bool ReadValues(const uint8_t* payload, int length, std::vector<Value>& values) {
    CInputStreamSocket reader(payload, length);
    while (reader.HasMoreData()) {
        const int at = reader.Position();
        const uint8_t tag = payload[at];
        Value value{};
        if (tag < 0x80) {
            value.kind = Value::Kind::kInt;
            reader.ReadInt(value.number);
        } else if (tag < 0xC0) {
            value.kind = Value::Kind::kText;
            reader.ReadString(value.text);
        } else {
            value.kind = Value::Kind::kBytes;
            int n = 0;
            if (tag == 0xFF && at + 1 < length) {
                n = payload[at + 1];
            } else if (tag == 0xFE && at + 2 < length) {
                n = payload[at + 1] * 256 + payload[at + 2];
            } else if (tag < 0xFE) {
                n = tag & 0x3F;
            }
            value.bytes.resize(n);
            reader.ReadBytes(value.bytes.data(), n);
        }
        if (!reader.IsOk()) {
            return false;
        }
        values.push_back(std::move(value));
    }
    return true;
}

std::vector<uint8_t> WriteValues(const std::vector<Value>& values) {
    std::vector<uint8_t> frames;
    CCallbackOutputStream writer(
        [&](const uint8_t* frame, int length, const std::string&, unsigned) {
            frames.insert(frames.end(), frame, frame + length);
        });
    for (const Value& value : values) {
        switch (value.kind) {
            case Value::Kind::kInt:
                writer.WriteInt(value.number);
                break;
            case Value::Kind::kText:
                writer.WriteString(value.text);
                break;
            case Value::Kind::kBytes:
                writer.WriteBytes(value.bytes.data(), static_cast<int>(value.bytes.size()));
                break;
        }
    }
    FUZZ_CHECK(!writer.IsPendingMessageRefused());
    FUZZ_CHECK(writer.Flush());
    return frames;
}

void CheckFrame(const std::vector<uint8_t>& frame) {
    FUZZ_CHECK(frame.size() >= 5);
    const int form = frame[0];
    FUZZ_CHECK(form >= 1 && form <= 3);
    size_t n = 0;
    for (int i = 1; i <= form; ++i) {
        n = n * 256 + frame[i];
    }
    FUZZ_CHECK(frame.size() == 1 + form + n + 3);
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += frame[1 + form + i];
    }
    FUZZ_CHECK(frame[1 + form + n] == ((sum >> 8) & 0xFF));
    FUZZ_CHECK(frame[2 + form + n] == (sum & 0xFF));
    FUZZ_CHECK(frame.back() == 0xFF);
}

void CheckRewrite(const Payload& payload) {
    std::vector<Value> values;
    ReadValues(payload.data(), static_cast<int>(payload.size()), values);
    const std::vector<uint8_t> frame = WriteValues(values);
    if (values.empty()) {
        FUZZ_CHECK(frame.empty());
        return;
    }
    CheckFrame(frame);
    size_t leftover = 0;
    const std::vector<Payload> cut =
        Cut(CFrameCutter::Side::kClient, frame.data(), frame.size(), 0, leftover);
    FUZZ_CHECK(cut.size() == 1 && leftover == 0);
    std::vector<Value> again;
    FUZZ_CHECK(ReadValues(cut[0].data(), static_cast<int>(cut[0].size()), again));
    FUZZ_CHECK(again == values);
    FUZZ_CHECK(WriteValues(again) == frame);  // the writer's forms are canonical
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t control = data[0];
    const auto side = (control & 1) ? CFrameCutter::Side::kClient : CFrameCutter::Side::kListener;
    const size_t chunk = control >> 1;
    ++data;
    --size;

    size_t leftoverWhole = 0;
    size_t leftoverChunked = 0;
    const std::vector<Payload> whole = Cut(side, data, size, 0, leftoverWhole);
    const std::vector<Payload> chunked = Cut(side, data, size, chunk, leftoverChunked);
    FUZZ_CHECK(whole == chunked);
    FUZZ_CHECK(leftoverWhole == leftoverChunked);

    for (const Payload& payload : whole) {
        if (side == CFrameCutter::Side::kClient) {
            FUZZ_CHECK(!payload.empty());
        }
        ReadInArbitraryWays(payload, control);
        CheckRewrite(payload);
    }
    return 0;
}
