#pragma once

// Streams between a voice file and a ring buffer, on the worker of the RTP streams: the source
// reads the file into the buffer a block at a time while the buffer has room, the target writes
// the buffer into the file a block at a time while it holds a whole block. The files are the
// voice library's (dx_fileopen and its kin through the published facade).

#include <array>
#include <cstdint>
#include <string>

#include "telephony/rtp_audio_stream.h"

namespace ruzd::telephony {

class FileAudioStream : public RTPAudioStream {
public:
    static constexpr uint32_t kBlockSize = 512;

    ~FileAudioStream() override;

    // Closes the file after the worker; -1 when the close fails.
    int32_t Close() override;

protected:
    FileAudioStream(std::string file_name, AudioRingBuffer* buffer);
    // Opens the file with the voice library's flags and permission; -1 when it fails.
    int32_t OpenFile(int32_t flags, int32_t permission);

    const std::string file_name_;
    int32_t handle_ = -1;
    std::array<uint8_t, kBlockSize> area_{};
};

class FileAudioStreamSource : public FileAudioStream {
public:
    FileAudioStreamSource(std::string file_name, AudioRingBuffer* buffer);
    ~FileAudioStreamSource() override;

    // The file, read only.
    int32_t Open() override;
    // The worker, as the buffer's read-notify stream.
    int32_t Start() override;
    // One block from the file while the buffer has room for it; true while room is left.
    bool Process() override;
};

class FileAudioStreamTarget : public FileAudioStream {
public:
    FileAudioStreamTarget(std::string file_name, AudioRingBuffer* buffer);
    ~FileAudioStreamTarget() override;

    // The file, created or emptied.
    int32_t Open() override;
    // The worker, as the buffer's write-notify stream.
    int32_t Start() override;
    // One block into the file once the buffer holds one; true while bytes remain.
    bool Process() override;
};

}  // namespace ruzd::telephony
