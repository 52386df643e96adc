// What the file-handling worker does with each queued record: opens a voice or record file
// (fetching it into the file cache first when needed), measures it and registers it under the
// central server's virtual handle, answering with message 9; or closes a file and hands it to
// the file cache as written.

#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/debug_channel.h"
#include "net/cache_path.h"
#include "node/file_access.h"
#include "node/manager_log.h"
#include "node/own_files.h"
#include "node/vesmarin_manager.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace ruzd::node {

using foundation::kDebugChannelVoice;
using foundation::kDebugNone;
using platform::Format;

namespace {

constexpr int32_t kReadWriteFlag = 2;  // _O_RDWR
constexpr int32_t kSeekEnd = 2;
// The indexed vox file, without which the node cannot work.
constexpr uint32_t kIndexedVoxHandle = 1;
constexpr int32_t kAnySize = -1;

void WorkerLog(const std::string& text) {
    ManagerLog(kDebugChannelVoice, kDebugNone, text);
}

// Whether something other than a regular file (a FIFO, a device, a folder) is in the place of
// the file; looked at without opening it.
bool NamesOtherThanRegularFile(const std::string& path) {
    const std::filesystem::path host = platform::MapWindowsPath(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(host, error);
    return !host.empty() && std::filesystem::exists(status) &&
           !std::filesystem::is_regular_file(status);
}

}  // namespace

void CVesmarinManager::WorkFileHandlingParam(const CFileHandlingParam& record) {
    switch (record.kind) {
        case CFileHandlingParam::kOpenVoiceFile:
        case CFileHandlingParam::kOpenRecordFile:
            OpenQueuedFile(record, record.kind == CFileHandlingParam::kOpenVoiceFile);
            break;
        case CFileHandlingParam::kCloseVoiceFile:
        case CFileHandlingParam::kCloseRecordFile:
            CloseQueuedFile(record, record.kind == CFileHandlingParam::kCloseVoiceFile);
            break;
        default:
            WorkerLog("FileHandlingThread Unknown Command " + std::to_string(record.kind));
            break;
    }
}

void CVesmarinManager::OpenQueuedFile(const CFileHandlingParam& record, bool voice) {
    const uint32_t virtualHandle = static_cast<uint32_t>(record.handle);
    const char* openName = voice ? "dx_fileopen" : "rec_fileopen";
    std::string path = record.name;
    if (!FileMapping(path)) {
        // A name the cache has no place for is not opened as it stands either: it would be
        // taken from the working folder, where the node keeps its own files.
        if (!net::CacheNameOfCentralPath(path)) {
            RefuseFileOpen(openName, virtualHandle, path, "has no place inside the file cache");
            return;
        }
        FileCache(record.channelId, path, false, record.expectedSize, record.expectedCrc);
    }
    if (ReachesNodeOwnFiles(path)) {
        RefuseFileOpen(openName, virtualHandle, path, "is one of the node's own files");
        return;
    }
    // The voice library would wait on a FIFO's open, or read a device, without end.
    if (NamesOtherThanRegularFile(path)) {
        RefuseFileOpen(openName, virtualHandle, path, "is not a regular file");
        return;
    }
    const auto open = [&] {
        const int32_t handle =
            voice ? hardware_->dx_fileopen(0, path.c_str(), record.flags, record.mode)
                  : hardware_->rec_fileopen(0, path, record.flags, record.mode);
        WorkerLog(Format("%s vhandle=%u flags=%d mode=%d handle=%d", openName, virtualHandle,
                         record.flags, record.mode, handle));
        return handle;
    };
    int32_t handle = open();
    if (handle == -1 && (record.flags & kReadWriteFlag) != 0) {
        WorkerLog("Retry after modify file attributes");
        MakeFileReadWrite(path);
        handle = open();
    }

    int32_t length = -1;
    if (handle == -1) {
        // The next open fetches the file again. The table knows central names only.
        file_cache_.Erase(platform::AsciiUpper(record.name));
    } else {
        length = voice ? hardware_->dx_fileseek(handle, 0, kSeekEnd)
                       : hardware_->rec_fileseek(handle, 0, kSeekEnd);
        WorkerLog(Format("%s vhandle=%u handle=%d seek=%d",
                         voice ? "local dx_fileseek" : "rec_fileseek", virtualHandle, handle,
                         length));
        if (length != -1) {
            if (voice) {
                virtual_files_.AddVoiceFile(virtualHandle, handle, record.name);
            } else {
                virtual_files_.AddRecordFile(virtualHandle, handle, record.name);
            }
        } else if (virtualHandle != kIndexedVoxHandle) {
            const int32_t result =
                voice ? hardware_->dx_fileclose(handle, 0) : hardware_->rec_fileclose(handle, 0);
            WorkerLog(Format("%s RC=%d", voice ? "dx_fileclose" : "rec_fileclose", result));
        } else {
            // Told to whoever watches the node; the worker goes on with its queue.
            const std::string text =
                "Could not find indexed vox file " + path + "\nPelwix cannot be started!";
            WorkerLog(text);
            platform::ShowMessageBoxDetached(text, "Pelwix", platform::kMbOk);
        }
    }
    if (listener_) {
        messages_.FileOpenResult(*listener_, virtualHandle, length);
    }
}

void CVesmarinManager::RefuseFileOpen(const char* openName, uint32_t virtualHandle,
                                      const std::string& path, const char* reason) {
    WorkerLog(
        Format("%s vhandle=%u refused: %s %s", openName, virtualHandle, path.c_str(), reason));
    if (listener_) {
        messages_.FileOpenResult(*listener_, virtualHandle, -1);
    }
}

void CVesmarinManager::CloseQueuedFile(const CFileHandlingParam& record, bool voice) {
    if (voice) {
        const int32_t result = hardware_->dx_fileclose(record.handle, 0);
        WorkerLog(Format("dx_fileclose RC=%d", result));
        // Written: whatever copy there is counts.
        std::string name = record.name;
        FileCache(record.channelId, name, true, kAnySize, kAnySize);
        return;
    }
    const int32_t result = hardware_->rec_fileclose(record.handle, 0);
    WorkerLog(Format("rec_fileclose iHandle=%d RC=%d", record.handle, result));
    if (result == -1) {
        // Its last bytes could not be written (the library's log says how many): what reached
        // the disk still goes to the central server, for a cut recording beats none.
        WorkerLog("ERROR: the recording " + record.name +
                  " is cut: its close could not write all of it; it is queued as it is");
    }
    std::string name = record.name;
    if (!FileCache(record.channelId, name, true, kAnySize, kAnySize)) {
        QueueRecordingWithoutRecord(record.channelId, record.name);
    }
}

}  // namespace ruzd::node
