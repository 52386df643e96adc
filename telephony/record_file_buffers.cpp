#include "telephony/record_file_buffers.h"

#include <cstring>

#include "platform/crt_file.h"
#include "platform/win_error.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The log lines of this file: Trace kind 1 ("Dt"), no device.
constexpr int kLogKind = 1;
constexpr int32_t kSeekSet = 0;

bool Detailed() {
    return VendorTraceLevel() >= 4;
}

int32_t Signed(uint32_t value) {
    return static_cast<int32_t>(value);
}

}  // namespace

RecordFileBuffers::RecordFileBuffers(int32_t handle)
    : handle_(handle),
      buffer_{std::make_unique<char[]>(kRecordBufferSize),
              std::make_unique<char[]>(kRecordBufferSize)} {}

void RecordFileBuffers::Reset() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    Empty(kA);
    Empty(kB);
    active_ = kA;
    bytes_written_ = 0;
    file_position_ = 0;
}

void RecordFileBuffers::Empty(Buffer buffer) {
    std::memset(buffer_[buffer].get(), 0, kRecordBufferSize);
    fill_[buffer] = 0;
}

int32_t RecordFileBuffers::WriteToFile(const char* data, uint32_t count, const char* who) {
    const int32_t result = platform::CrtWrite(handle_, data, count);
    if (result < 0) {
        VendorTrace(kLogKind, 0, "ERROR %s - writing %d bytes to file with handle:%d failed: %s",
                    who, Signed(count), handle_,
                    platform::WinErrorText(platform::GetLastError()).c_str());
        return -1;
    }
    if (bytes_written_ <= file_position_) {
        bytes_written_ += static_cast<uint32_t>(result);
    }
    file_position_ += static_cast<uint32_t>(result);
    return result;
}

int32_t RecordFileBuffers::FlushBuffer(Buffer buffer, const char* who) {
    const int32_t result = WriteToFile(buffer_[buffer].get(), fill_[buffer], who);
    Empty(buffer);
    return result;
}

int32_t RecordFileBuffers::Write(const char* data, uint32_t count) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (file_position_ < bytes_written_ || count >= kRecordBufferSize) {
        // Into data already in the file, or more than a buffer holds: what is held goes
        // first, then the data straight to the file.
        if (fill_[active_] != 0) {
            const Buffer held = active_;
            const int32_t flushed = FlushBuffer(held, "My write");
            if (flushed < 0) {
                return -1;
            }
            LogWriteFlush(held, flushed);
        }
        const int32_t result = WriteToFile(data, count, "My write");
        if (result >= 0 && Detailed()) {
            VendorTrace(kLogKind, 0,
                        "My write - write directly to file with handle:%d, new file position:%d, "
                        "cnt:%d bytes",
                        handle_, Signed(file_position_), Signed(count));
        }
        return result;
    }
    const Buffer full = active_;
    if (fill_[full] + count < kRecordBufferSize) {
        std::memcpy(buffer_[full].get() + fill_[full], data, count);
        fill_[full] += count;
        if (Detailed()) {
            VendorTrace(kLogKind, 0,
                        "My write - write to buffer %c for file with handle:%d, buffer position "
                        "after write: %d, cnt:%d bytes, file position:%d",
                        Name(full), handle_, Signed(fill_[full]), Signed(count),
                        Signed(file_position_));
        }
        return Signed(count);
    }
    const Buffer next = full == kA ? kB : kA;
    active_ = next;
    std::memcpy(buffer_[next].get(), data, count);
    fill_[next] = count;
    if (next == kB && Detailed()) {
        VendorTrace(kLogKind, 0,
                    "My write - write to start buffer B for file with handle:%d, buffer position "
                    "after write: %d, cnt:%d bytes, file position:%d",
                    handle_, Signed(fill_[next]), Signed(count), Signed(file_position_));
    }
    const int32_t flushed = FlushBuffer(full, "My write");
    if (flushed < 0) {
        Empty(next);  // the write failed as a whole: none of its bytes stay behind
        return -1;
    }
    LogWriteFlush(full, flushed);
    return Signed(count);
}

void RecordFileBuffers::LogWriteFlush(Buffer buffer, int32_t flushed) const {
    if (Detailed()) {
        VendorTrace(kLogKind, 0,
                    "My write - flushed buffer %c for file with handle:%d, cnt:%d bytes, total "
                    "bytes written to file:%d, new file position:%d",
                    Name(buffer), handle_, flushed, Signed(bytes_written_), Signed(file_position_));
    }
}

int32_t RecordFileBuffers::Read(char* buffer, uint32_t count) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const int32_t result = platform::CrtRead(handle_, buffer, count);
    if (result > 0) {
        file_position_ += static_cast<uint32_t>(result);
    }
    if (Detailed()) {
        VendorTrace(kLogKind, 0,
                    "My read - read directly from file with handle:%d, new file position:%d, "
                    "cnt:%d bytes",
                    handle_, Signed(file_position_), Signed(count));
    }
    return result;
}

int32_t RecordFileBuffers::Seek(int32_t offset, int32_t whence) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const Buffer held = fill_[kA] != 0 ? kA : kB;
    if (fill_[held] != 0) {
        const int32_t flushed = FlushBuffer(held, "My seek");
        if (flushed < 0) {
            return -1;
        }
        if (Detailed()) {
            VendorTrace(kLogKind, 0,
                        "My seek - handle:%d, flushed buffer %c, cnt:%d bytes, total bytes "
                        "written to file:%d, new file position:%d",
                        handle_, Name(held), flushed, Signed(bytes_written_),
                        Signed(file_position_));
        }
    } else if (Detailed()) {
        VendorTrace(kLogKind, 0, "My seek - handle:%d, nothing to flush", handle_);
    }
    const int32_t position = platform::CrtLseek(handle_, offset, whence);
    if (position >= 0) {
        file_position_ = static_cast<uint32_t>(position);
    }
    if (Detailed()) {
        VendorTrace(kLogKind, 0, "My seek - handle:%d, new file position:%d", handle_, position);
    }
    return position;
}

bool RecordFileBuffers::FlushForClose() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const uint32_t held = fill_[active_];
    bool written = true;
    // Tried a second time from where the buffer belongs, over whatever part the first try
    // wrote: a disk full at the end of a call may have room a moment later.
    for (int attempt = 0; held != 0 && attempt < 2; ++attempt) {
        written =
            (attempt == 0 || platform::CrtLseek(handle_, Signed(file_position_), kSeekSet) >= 0) &&
            platform::CrtWrite(handle_, buffer_[active_].get(), held) >= 0;
        if (written) {
            break;
        }
        VendorTrace(kLogKind, 0,
                    "ERROR rec_fileclose - writing %d buffered bytes to file with handle:%d "
                    "failed: %s",
                    Signed(held), handle_,
                    platform::WinErrorText(platform::GetLastError()).c_str());
    }
    if (!written) {
        VendorTrace(kLogKind, 0,
                    "ERROR rec_fileclose - the last %d bytes of the recording in file with "
                    "handle:%d are lost: the file is cut",
                    Signed(held), handle_);
    }
    std::memset(buffer_[kA].get(), 0, kRecordBufferSize);
    std::memset(buffer_[kB].get(), 0, kRecordBufferSize);
    return written;
}

}  // namespace ruzd::telephony
