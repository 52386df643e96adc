#include "foundation/zip_deflater.h"

#include "foundation/zip_output.h"
#include "foundation/zip_result.h"

namespace ruzd::foundation {
namespace {

constexpr size_t kOutputBuffer = 16384;
constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;

}  // namespace

ZipDeflater::ZipDeflater(ZipOutput& output) : output_(output), buffer_(kOutputBuffer) {}

ZipDeflater::~ZipDeflater() {
    if (started_) {
        deflateEnd(&stream_);
    }
}

bool ZipDeflater::Start(int32_t level) {
    if (level < 1 || level > 8) {
        return false;
    }
    started_ = deflateInit2(&stream_, level, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                            Z_DEFAULT_STRATEGY) == Z_OK;
    return started_;
}

int32_t ZipDeflater::Add(const uint8_t* data, size_t size, bool finish) {
    if (!started_) {
        return kZipFlationFailed;
    }
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(size);
    const int flush = finish ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
        stream_.next_out = buffer_.data();
        stream_.avail_out = static_cast<uInt>(buffer_.size());
        const int result = deflate(&stream_, flush);
        if (result == Z_STREAM_ERROR) {
            return kZipFlationFailed;
        }
        const size_t made = buffer_.size() - stream_.avail_out;
        if (output_.Write(buffer_.data(), made) != kZipSuccess) {
            return kZipWriteFailed;
        }
        compressed_size_ += made;
        if (finish ? result == Z_STREAM_END : stream_.avail_out != 0) {
            return kZipSuccess;
        }
    }
}

}  // namespace ruzd::foundation
