#include "telephony/file_audio_stream.h"

#include <utility>

#include "telephony/audio_ring_buffer.h"
#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int32_t kReadOnlyUntranslated = 0x8000;
constexpr int32_t kCreateTruncateReadWriteUntranslated = 0x8302;
constexpr int32_t kOwnerReadWrite = 0x180;

}  // namespace

FileAudioStream::FileAudioStream(std::string file_name, AudioRingBuffer* buffer)
    : RTPAudioStream(buffer, "FileAudioStreams"), file_name_(std::move(file_name)) {}

FileAudioStream::~FileAudioStream() {
    FileAudioStream::Close();
}

int32_t FileAudioStream::OpenFile(int32_t flags, int32_t permission) {
    CHardware* hardware = PublishedHardware();
    handle_ =
        hardware != nullptr ? hardware->dx_fileopen(0, file_name_.c_str(), flags, permission) : -1;
    if (handle_ == -1) {
        VendorTrace(0, 0, "dx_fileopen(%s) error\n", file_name_.c_str());
        return -1;
    }
    return 0;
}

int32_t FileAudioStream::Close() {
    RTPAudioStream::Close();
    if (handle_ == -1) {
        return 0;
    }
    CHardware* hardware = PublishedHardware();
    const int32_t result = hardware != nullptr ? hardware->dx_fileclose(handle_, 0) : -1;
    handle_ = -1;
    if (result == -1) {
        VendorTrace(0, 0, "dx_fileclose(%s) error\n", file_name_.c_str());
        return -1;
    }
    return 0;
}

FileAudioStreamSource::FileAudioStreamSource(std::string file_name, AudioRingBuffer* buffer)
    : FileAudioStream(std::move(file_name), buffer) {}

FileAudioStreamSource::~FileAudioStreamSource() {
    FileAudioStream::Close();
}

int32_t FileAudioStreamSource::Open() {
    return OpenFile(kReadOnlyUntranslated, 0);
}

int32_t FileAudioStreamSource::Start() {
    return StartOn(Notice::kRead);
}

bool FileAudioStreamSource::Process() {
    AudioRingBuffer& ring = *buffer();
    CHardware* hardware = PublishedHardware();
    if (ring.FreeSpace() >= kBlockSize && hardware != nullptr) {
        const int32_t count = hardware->dx_fileread(handle_, area_.data(), kBlockSize);
        VendorTrace(0, 0, "dx_fileread(%s) %d bytes\n", file_name_.c_str(), count);
        if (count <= 0) {
            return false;  // the end of the file: nothing more to read until told again
        }
        ring.Write(area_.data(), static_cast<uint32_t>(count));
    }
    // Only a whole block's room is worth another turn; less would turn without reading.
    return ring.FreeSpace() >= kBlockSize;
}

FileAudioStreamTarget::FileAudioStreamTarget(std::string file_name, AudioRingBuffer* buffer)
    : FileAudioStream(std::move(file_name), buffer) {}

FileAudioStreamTarget::~FileAudioStreamTarget() {
    FileAudioStream::Close();
}

int32_t FileAudioStreamTarget::Open() {
    return OpenFile(kCreateTruncateReadWriteUntranslated, kOwnerReadWrite);
}

int32_t FileAudioStreamTarget::Start() {
    return StartOn(Notice::kWrite);
}

bool FileAudioStreamTarget::Process() {
    AudioRingBuffer& ring = *buffer();
    CHardware* hardware = PublishedHardware();
    if (ring.Fill() >= kBlockSize && hardware != nullptr) {
        const uint32_t count = ring.Read(area_.data(), kBlockSize);
        hardware->dx_filewrite(handle_, area_.data(), count);
        VendorTrace(0, 0, "dx_filewrite(%s) %u bytes\n", file_name_.c_str(), count);
    }
    // Only a whole block is worth another turn; less would turn without writing.
    return ring.Fill() >= kBlockSize;
}

}  // namespace ruzd::telephony
