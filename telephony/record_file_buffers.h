#pragma once

// The two buffers of one record file: the voice library's many small writes are collected
// and reach the file one nearly full buffer at a time. Writes go to the active buffer; a write
// that would bring it to kRecordBufferSize bytes switches to the other buffer, takes the data
// there and writes the full one out. A seek writes out what is held first; a write while the
// file position lies inside what was already written (a header rewritten after a seek back)
// goes straight to the file, as does a write too large for a buffer.
//
// The counters follow the bytes that reached the file: `file position` is the handle's
// position, `bytes written` the length written so far (it grows only while the position is
// at or past it). A write to the file that fails changes neither counter, drops what the
// buffers held and is reported as -1.
//
// Detail lines go to the log at trace level 4 or more. Safe to call from several threads.

#include <cstdint>
#include <memory>
#include <mutex>

namespace ruzd::telephony {

inline constexpr uint32_t kRecordBufferSize = 300000;

class RecordFileBuffers {
public:
    explicit RecordFileBuffers(int32_t handle);
    RecordFileBuffers(const RecordFileBuffers&) = delete;
    RecordFileBuffers& operator=(const RecordFileBuffers&) = delete;

    // The start of a recording: both buffers empty and zeroed, buffer A active, counters 0.
    void Reset();
    // `count` on success, -1 when a write to the file failed.
    int32_t Write(const char* data, uint32_t count);
    // The read's result; the position follows what was read. Buffered data is not consulted.
    int32_t Read(char* buffer, uint32_t count);
    // Writes out the held data, then seeks: the new position, or -1 (also when the data could
    // not be written; the handle is then not moved).
    int32_t Seek(int32_t offset, int32_t whence);
    // Writes out exactly the held bytes (the counters stay as they are), once more when the
    // first write failed, and empties both buffers: false, with the count of bytes lost in the
    // log, when neither write got them out.
    bool FlushForClose();

private:
    enum Buffer : uint16_t { kA = 0, kB = 1 };
    static char Name(Buffer buffer) { return buffer == kA ? 'A' : 'B'; }

    // Writes out `buffer` and empties it: the write's result, -1 after an error line.
    int32_t FlushBuffer(Buffer buffer, const char* who);
    // A write to the file past the buffers, counted as a flush is: its result.
    int32_t WriteToFile(const char* data, uint32_t count, const char* who);
    void Empty(Buffer buffer);
    void LogWriteFlush(Buffer buffer, int32_t flushed) const;

    std::recursive_mutex lock_;
    const int32_t handle_;
    uint32_t fill_[2] = {0, 0};
    Buffer active_ = kA;
    uint32_t bytes_written_ = 0;
    uint32_t file_position_ = 0;
    std::unique_ptr<char[]> buffer_[2];
};

}  // namespace ruzd::telephony
