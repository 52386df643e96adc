#pragma once

// Where the zip reader reads an archive from: a file it opens by name, a duplicate of a caller's
// file handle read from the handle's position at open, or a memory block used in place. The
// reader's minizip layer reads through the I/O functions this object lends it.

#include <minizip/ioapi.h>

#include <cstddef>
#include <cstdint>

namespace ruzd::foundation {

class UnzipInput {
public:
    UnzipInput() = default;
    ~UnzipInput();
    UnzipInput(const UnzipInput&) = delete;
    UnzipInput& operator=(const UnzipInput&) = delete;

    // Takes the source of the given kind: kZipSuccess or the code of the failure.
    int32_t Open(const void* source, uint32_t length, int32_t kind);

    // The I/O functions for unzOpen2_64, whose path argument must be this object.
    zlib_filefunc64_def Functions();

    // Whether a read of the source itself failed (as opposed to finding no archive there).
    bool read_failed() const { return read_failed_; }

    // The bytes from the archive's start to the end of the source.
    uint64_t size() const { return size_; }
    // Reads up to `size` bytes at `offset` from the archive's start, leaving the position where
    // it is: the count read.
    size_t ReadAt(uint64_t offset, void* buffer, size_t size);

private:
    static voidpf OpenStream(voidpf opaque, const void* input, int mode);
    static uLong ReadStream(voidpf opaque, voidpf stream, void* buffer, uLong size);
    static uLong WriteStream(voidpf opaque, voidpf stream, const void* buffer, uLong size);
    static ZPOS64_T TellStream(voidpf opaque, voidpf stream);
    static long SeekStream(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);  // NOLINT
    static int CloseStream(voidpf opaque, voidpf stream);
    static int StreamError(voidpf opaque, voidpf stream);

    size_t Read(void* buffer, size_t size);

    int32_t handle_ = -1;  // owned: opened by name or duplicated
    const uint8_t* memory_ = nullptr;
    uint64_t start_ = 0;  // where the archive starts in the file
    uint64_t size_ = 0;   // bytes from the start to the end
    uint64_t position_ = 0;
    bool read_failed_ = false;
};

}  // namespace ruzd::foundation
