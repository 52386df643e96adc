#pragma once

// Cuts the frames of the binary message stream out of one peer's byte stream. TCP hands bytes
// over in chunks that need not end on a frame boundary: the cutter keeps an incomplete frame
// until the rest arrives, and skips bytes that start no frame one at a time until a frame header
// with a matching end byte turns up. The sum bytes are not checked. Frames and skipped bytes are
// taken by moving a start position: what is kept moves to the front of the buffer only once the
// bytes taken before it are at least as many, so that a chunk costs what its bytes cost however
// many frames or stray bytes it holds and however much is kept behind them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace ruzd::net {

class CFrameCutter {
public:
    // The listening side takes a zero payload length as a frame with an empty payload; the
    // connecting side takes it as no frame.
    enum class Side { kListener, kClient };

    // Gets one frame's payload, valid only during the call.
    using FrameHandler = std::function<void(const uint8_t* payload, int length)>;

    explicit CFrameCutter(Side side);

    // Appends one received chunk and hands every frame it completes to handler, in order, before
    // returning. The handler may call Clear, which ends the cutting; it must not call Append.
    void Append(const uint8_t* data, size_t size, const FrameHandler& handler) {
        Append(data, size, handler, SIZE_MAX);
    }
    // The same, handing at most `max_frames` frames: those beyond them are kept, and handed by
    // the next Append (which may bring no bytes). The result is whether frames may be left.
    bool Append(const uint8_t* data, size_t size, const FrameHandler& handler, size_t max_frames);

    // Bytes kept for a frame that is not complete yet.
    size_t Buffered() const { return buffer_.size() - start_; }

    // Drops the kept bytes, as when the peer's connection closes.
    void Clear();

private:
    Side side_;
    std::vector<uint8_t> buffer_;
    // Where the kept bytes begin in buffer_.
    size_t start_ = 0;
    // Changes with every Clear, so that the cutting loop notices one made by the handler.
    unsigned generation_ = 0;
};

}  // namespace ruzd::net
