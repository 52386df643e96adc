#include "net/zlib_stream.h"

#include <algorithm>
#include <limits>

namespace ruzd::net {
namespace {

// zlib counts in 32-bit units; larger inputs go in slices.
constexpr size_t kMaxSlice = std::numeric_limits<uInt>::max();
// What inflate is given at least per step when the output needs more room.
constexpr size_t kInflateStep = 32768;

}  // namespace

DeflateStream::~DeflateStream() {
    End();
}

bool DeflateStream::Init(int level) {
    End();
    stream_ = z_stream{};
    open_ = deflateInit(&stream_, level) == Z_OK;
    return open_;
}

void DeflateStream::End() {
    if (open_) {
        deflateEnd(&stream_);
        open_ = false;
    }
}

bool DeflateStream::Compress(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    if (!open_) {
        return false;
    }
    const size_t start = out.size();
    size_t consumed = 0;
    do {
        const size_t slice = std::min(length - consumed, kMaxSlice);
        stream_.next_in = const_cast<Bytef*>(data + consumed);
        stream_.avail_in = static_cast<uInt>(slice);
        const int flush = consumed + slice == length ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        // The bound covers the data of this slice; the flush marker and the bits zlib still
        // held from before need a little more, so deflate runs until it leaves room unused.
        size_t room = deflateBound(&stream_, static_cast<uLong>(slice)) + 16;
        for (;;) {
            const size_t at = out.size();
            out.resize(at + room);
            stream_.next_out = out.data() + at;
            stream_.avail_out = static_cast<uInt>(std::min(room, kMaxSlice));
            const uInt offered = stream_.avail_out;
            const int result = deflate(&stream_, flush);
            out.resize(at + (offered - stream_.avail_out));
            // Z_BUF_ERROR only says that this call could not move on, which a flush that had
            // already emptied everything can report; it is not corruption.
            if (result != Z_OK && result != Z_BUF_ERROR) {
                out.resize(start);
                return false;
            }
            if (stream_.avail_out != 0 && stream_.avail_in == 0) {
                break;
            }
        }
        consumed += slice;
    } while (consumed < length);
    return true;
}

InflateStream::~InflateStream() {
    End();
}

bool InflateStream::Init() {
    End();
    stream_ = z_stream{};
    open_ = inflateInit(&stream_) == Z_OK;
    return open_;
}

void InflateStream::End() {
    if (open_) {
        inflateEnd(&stream_);
        open_ = false;
    }
}

bool InflateStream::Decompress(const uint8_t* data, size_t length, std::vector<uint8_t>& out,
                               size_t limit) {
    if (!open_) {
        return false;
    }
    SetInput(data, length);
    const size_t start = out.size();
    for (;;) {
        const size_t produced = out.size() - start;
        if (produced > limit) {
            return false;
        }
        // One byte past the limit is enough to tell that it was passed.
        const size_t step = std::max(kInflateStep, 4 * InputLeft());
        const size_t room = std::min(step - 1, limit - produced) + 1;
        const size_t at = out.size();
        out.resize(at + room);
        const std::optional<size_t> made = Inflate(out.data() + at, room);
        out.resize(at + made.value_or(0));
        if (!made) {
            return false;
        }
        if (*made == 0) {
            return true;
        }
    }
}

void InflateStream::SetInput(const uint8_t* data, size_t length) {
    const size_t slice = std::min(length, kMaxSlice);
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(slice);
    input_next_ = data + slice;
    input_beyond_ = length - slice;
}

std::optional<size_t> InflateStream::Inflate(uint8_t* out, size_t room) {
    if (!open_) {
        return std::nullopt;
    }
    size_t made = 0;
    while (made < room) {
        if (stream_.avail_in == 0 && input_beyond_ > 0) {
            const size_t slice = std::min(input_beyond_, kMaxSlice);
            stream_.next_in = const_cast<Bytef*>(input_next_);
            stream_.avail_in = static_cast<uInt>(slice);
            input_next_ += slice;
            input_beyond_ -= slice;
        }
        const uInt offered = static_cast<uInt>(std::min(room - made, kMaxSlice));
        const uInt available = stream_.avail_in;
        stream_.next_out = out + made;
        stream_.avail_out = offered;
        const int result = inflate(&stream_, Z_SYNC_FLUSH);
        made += offered - stream_.avail_out;
        // Z_BUF_ERROR only says that this step could not move on; Z_STREAM_END that the peer
        // finished its stream, which it never should: input after the end is refused below.
        if (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END) {
            return std::nullopt;
        }
        if (stream_.avail_out == offered && stream_.avail_in == available) {
            break;
        }
    }
    if (made == 0 && InputLeft() != 0) {
        return std::nullopt;
    }
    return made;
}

}  // namespace ruzd::net
