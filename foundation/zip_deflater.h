#pragma once

// The zip writer's deflate encoder: zlib's raw deflate (no zlib header, 32 KB window, memory
// level 8) at one of the levels 1 to 8, writing what it makes to the archive's output through
// a buffer of 16384 bytes.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruzd::foundation {

class ZipOutput;

class ZipDeflater {
public:
    explicit ZipDeflater(ZipOutput& output);
    ~ZipDeflater();
    ZipDeflater(const ZipDeflater&) = delete;
    ZipDeflater& operator=(const ZipDeflater&) = delete;

    // False for a level outside 1 to 8 or when zlib cannot start.
    bool Start(int32_t level);
    // Compresses the bytes; the end of the entry with `finish`. kZipSuccess, kZipWriteFailed
    // when the output refuses, kZipFlationFailed when zlib fails.
    int32_t Add(const uint8_t* data, size_t size, bool finish);

    uint64_t compressed_size() const { return compressed_size_; }

private:
    ZipOutput& output_;
    z_stream stream_{};
    bool started_ = false;
    std::vector<uint8_t> buffer_;
    uint64_t compressed_size_ = 0;
};

}  // namespace ruzd::foundation
