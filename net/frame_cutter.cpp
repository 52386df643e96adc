#include "net/frame_cutter.h"

#include "net/stream_format.h"

namespace ruzd::net {

CFrameCutter::CFrameCutter(Side side) : side_(side) {}

void CFrameCutter::Clear() {
    buffer_.clear();
    start_ = 0;
    ++generation_;
}

bool CFrameCutter::Append(const uint8_t* data, size_t size, const FrameHandler& handler,
                          size_t max_frames) {
    if (data != nullptr && size > 0) {
        if (start_ > 0 && start_ >= Buffered()) {
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
            start_ = 0;
        }
        buffer_.insert(buffer_.end(), data, data + size);
    }
    const unsigned generation = generation_;
    const size_t fill = buffer_.size();
    size_t p = start_;
    size_t handed = 0;
    // A frame takes at least four bytes: length form, one length byte, and two of the trailer.
    while (p + 3 < fill && handed < max_frames) {
        const uint8_t* b = buffer_.data();
        size_t length;
        size_t start;
        switch (b[p]) {
            case 1:
                length = b[p + 1];
                start = p + 2;
                break;
            case 2:
                length = b[p + 1] * 256u + b[p + 2];
                start = p + 3;
                break;
            case 3:
                length = b[p + 1] * 65536u + b[p + 2] * 256u + b[p + 3];
                start = p + 4;
                break;
            default:
                ++p;
                continue;
        }
        if (length == 0 && side_ == Side::kClient) {
            ++p;
            continue;
        }
        const size_t endByte = start + length + 2;  // behind the payload and the 16-bit sum
        if (endByte >= fill) {
            break;  // the frame is not complete yet
        }
        if (b[endByte] != stream_format::kFrameEnd) {
            ++p;
            continue;
        }
        handler(b + start, static_cast<int>(length));
        if (generation_ != generation) {
            return false;  // cleared by the handler: the rest of the chunk is gone with the peer
        }
        ++handed;
        p = endByte + 1;
    }
    if (p >= fill) {
        buffer_.clear();
        start_ = 0;
    } else {
        start_ = p;
    }
    return handed == max_frames && p + 3 < fill;
}

}  // namespace ruzd::net
