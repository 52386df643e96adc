#include "boardsim/core/voice_recordings.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "boardsim/core/event_queue.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {
namespace {

constexpr int kPatternLength = 251;

int32_t OwnRead(int32_t handle, char* buffer, uint32_t count) {
    return VoiceFileRead(handle, buffer, count);
}
int32_t OwnWrite(int32_t handle, char* buffer, uint32_t count) {
    return VoiceFileWrite(handle, buffer, count);
}
int32_t OwnSeek(int32_t handle, int32_t offset, int32_t origin) {
    return VoiceFileSeek(handle, offset, origin);
}

// The file entries of a transfer list, in order.
std::vector<DX_IOTT*> FileEntries(DX_IOTT* list) {
    std::vector<DX_IOTT*> files;
    for (DX_IOTT* entry = list; entry != nullptr && files.size() < 1000;) {
        if ((entry->io_type & IO_MEM) == 0)
            files.push_back(entry);
        if ((entry->io_type & IO_EOT) != 0)
            break;
        if ((entry->io_type & IO_LINK) != 0)
            entry = entry->io_nextp;
        else if ((entry->io_type & IO_CONT) != 0)
            ++entry;
        else
            break;
    }
    return files;
}

// Writes all of `data` in pieces through the callback: false when one failed.
bool WriteInPieces(const DX_UIO& io, int32_t handle, std::vector<char>& data, int64_t piece) {
    for (size_t done = 0; done < data.size();) {
        const uint32_t count =
            static_cast<uint32_t>(std::min<size_t>(data.size() - done, static_cast<size_t>(piece)));
        if (io.u_write(handle, data.data() + done, count) != static_cast<int32_t>(count))
            return false;
        done += count;
    }
    return true;
}

}  // namespace

void VoiceRecordings::SetUserIo(const DX_UIO& callbacks) {
    std::lock_guard<std::mutex> lock(mutex_);
    callbacks_ = callbacks;
}

void VoiceRecordings::Start(int32_t channel, DX_IOTT* transfer_list) {
    std::lock_guard<std::mutex> lock(mutex_);
    recordings_[channel] = transfer_list;
}

VoiceRecordings::Outcome VoiceRecordings::Record(int32_t channel, int64_t bytes, int64_t piece,
                                                 int64_t header) {
    DX_UIO io{OwnRead, OwnWrite, OwnSeek};
    std::vector<DX_IOTT*> files;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto recording = recordings_.find(channel);
        if (recording == recordings_.end())
            return {0, "no recording on the channel"};
        files = FileEntries(recording->second);
        recordings_.erase(recording);
        if (callbacks_.u_write != nullptr)
            io = callbacks_;
    }
    if (files.empty())
        return {0, "no file to record into"};
    // The callbacks run without the lock: they are the node's code, as on a real board's
    // thread.
    Outcome outcome;
    const auto fail = [&](const std::string& what) {
        outcome.error = what + " failed after " + std::to_string(outcome.written) + " bytes";
        return outcome;
    };
    std::vector<char> placeholder(static_cast<size_t>(header), '\0');
    if (!WriteInPieces(io, files.front()->io_fhandle, placeholder, piece))
        return fail("the header's write");
    outcome.written += header;
    int64_t next = 0;
    for (DX_IOTT* file : files) {
        const int64_t room = file->io_length < 0 ? bytes - next : file->io_length;
        std::vector<char> data(static_cast<size_t>(std::min(room, bytes - next)));
        for (char& byte : data)
            byte = static_cast<char>(next++ % kPatternLength);
        if (!WriteInPieces(io, file->io_fhandle, data, piece))
            return fail("a write");
        outcome.written += static_cast<int64_t>(data.size());
    }
    if (header > 0) {
        std::vector<char> wave_header(static_cast<size_t>(header), 'H');
        const int32_t first = files.front()->io_fhandle;
        if (io.u_seek(first, 0, SEEK_SET) != 0 || !WriteInPieces(io, first, wave_header, piece) ||
            io.u_seek(first, 0, SEEK_END) < 0)
            return fail("the header's rewrite");
    }
    events_.Put(channel, TDX_RECORD, {});
    return outcome;
}

}  // namespace ruzd::boardsim
