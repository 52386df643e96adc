#include "telephony/voice_file_io.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/crt_file.h"
#include "telephony/record_file_buffers.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int kLogKind = 1;

bool Detailed() {
    return VendorTraceLevel() >= 4;
}

// The registered record files: which channel each belongs to and its buffers.
class RecordFiles {
public:
    static RecordFiles& Instance() {
        static RecordFiles files;
        return files;
    }

    void Register(int32_t channel, const DX_IOTT* transfer_list) {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        bool first = true;
        std::set<const DX_IOTT*> seen;  // a list that links back on itself ends there
        for (const DX_IOTT* entry = transfer_list; entry != nullptr && seen.insert(entry).second;
             entry = Next(entry)) {
            if ((entry->io_type & IO_MEM) != 0) {
                continue;
            }
            const int32_t handle = entry->io_fhandle;
            if (first) {
                record_file_by_channel_[channel] = handle;
                first = false;
            }
            channel_by_record_file_[handle] = channel;
            auto& buffers = buffers_by_record_file_[handle];
            if (buffers == nullptr) {
                buffers = std::make_shared<RecordFileBuffers>(handle);
            }
            buffers->Reset();
        }
    }

    // The file's buffers; null when the handle is not registered to a channel.
    std::shared_ptr<RecordFileBuffers> Find(int32_t handle) {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        const auto channel = channel_by_record_file_.find(handle);
        if (channel == channel_by_record_file_.end() || channel->second < 1) {
            return nullptr;
        }
        const auto buffers = buffers_by_record_file_.find(handle);
        return buffers == buffers_by_record_file_.end() ? nullptr : buffers->second;
    }

    // Forgets the file: its buffers, for the caller to flush; null when it was not registered.
    std::shared_ptr<RecordFileBuffers> Forget(int32_t handle) {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        std::shared_ptr<RecordFileBuffers> buffers = Find(handle);
        channel_by_record_file_.erase(handle);
        buffers_by_record_file_.erase(handle);
        return buffers;
    }

    int32_t FileOfChannel(int32_t channel) {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        const auto file = record_file_by_channel_.find(channel);
        return file == record_file_by_channel_.end() ? -1 : file->second;
    }

private:
    // The entry after `entry` in a transfer list: the linked one, the next in the array, or
    // none after the last (an entry that says nothing of a next one is the last).
    static const DX_IOTT* Next(const DX_IOTT* entry) {
        if ((entry->io_type & IO_EOT) != 0) {
            return nullptr;
        }
        if ((entry->io_type & IO_LINK) != 0) {
            return entry->io_nextp;
        }
        return (entry->io_type & IO_CONT) != 0 ? entry + 1 : nullptr;
    }

    std::recursive_mutex lock_;
    std::map<int32_t, int32_t> record_file_by_channel_;
    std::map<int32_t, int32_t> channel_by_record_file_;
    std::map<int32_t, std::shared_ptr<RecordFileBuffers>> buffers_by_record_file_;
};

}  // namespace

void RegisterRecordFiles(int32_t channel, const DX_IOTT* transfer_list) {
    RecordFiles::Instance().Register(channel, transfer_list);
}

int32_t CloseRecordFile(int32_t handle) {
    const std::shared_ptr<RecordFileBuffers> buffers = RecordFiles::Instance().Forget(handle);
    const bool flushed = buffers == nullptr || buffers->FlushForClose();
    const int32_t closed = platform::CrtClose(handle);
    return flushed ? closed : -1;
}

int32_t RecordFileOfChannel(int32_t channel) {
    return RecordFiles::Instance().FileOfChannel(channel);
}

int32_t VoiceFileRead(int32_t handle, char* buffer, uint32_t count) {
    if (Detailed()) {
        VendorTrace(kLogKind, 0, "My read - handle:%d, cnt:%d bytes", handle,
                    static_cast<int32_t>(count));
    }
    if (const auto buffers = RecordFiles::Instance().Find(handle)) {
        return buffers->Read(buffer, count);
    }
    return platform::CrtRead(handle, buffer, count);
}

int32_t VoiceFileWrite(int32_t handle, char* buffer, uint32_t count) {
    if (Detailed()) {
        VendorTrace(kLogKind, 0, "My write - handle:%d, cnt:%d bytes", handle,
                    static_cast<int32_t>(count));
    }
    if (const auto buffers = RecordFiles::Instance().Find(handle)) {
        return buffers->Write(buffer, count);
    }
    VendorTrace(kLogKind, 0, "My write - handle:%d, channel not found", handle);
    return -1;
}

int32_t VoiceFileSeek(int32_t handle, int32_t offset, int32_t whence) {
    if (Detailed()) {
        VendorTrace(kLogKind, 0, "My seek - handle:%d, offset:%d, whence:%d", handle, offset,
                    whence);
    }
    if (const auto buffers = RecordFiles::Instance().Find(handle)) {
        return buffers->Seek(offset, whence);
    }
    VendorTrace(kLogKind, 0, "My seek - handle:%d not found", handle);
    const int32_t position = platform::CrtLseek(handle, offset, whence);
    if (Detailed()) {
        VendorTrace(kLogKind, 0, "My seek - handle:%d, new file position:%d", handle, position);
    }
    return position;
}

}  // namespace ruzd::telephony
