// The manager's file cache: local copies of the central server's voice files under
// ".\FileCache", each remembered by the size, modification time and CRC-32 of its copy, fetched
// over the file-transfer connection when missing or outdated; copies the node wrote go back to
// the central server through the move queue.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "foundation/crc32.h"
#include "foundation/debug_channel.h"
#include "net/cache_path.h"
#include "net/file_request_table.h"
#include "node/file_access.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/read_only_file.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;

namespace fs = std::filesystem;

namespace {

// A check younger than this trusts the record without looking at the disk.
constexpr int64_t kTrustedCheckSeconds = 3600;
// An expected size of 0 (the caller will write the file) keeps a copy checked this recently.
constexpr int64_t kFreshCopySeconds = 60;
constexpr int32_t kAnySize = -1;
constexpr int32_t kMoveRetries = 3;
constexpr size_t kErrorTextLimit = 255;

void CacheLog(const std::string& text) {
    ManagerLog(kDebugChannelGeneral, kDebugNone, text);
}

int64_t ModificationTime(const fs::path& hostPath) {
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(hostPath, error);
    if (error) {
        return 0;
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

bool IsReadOnly(const fs::path& hostPath) {
    std::error_code error;
    const fs::file_status status = fs::status(hostPath, error);
    return !error && (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool SizeMatches(int32_t expectedSize, int64_t size) {
    return static_cast<int64_t>(static_cast<uint32_t>(expectedSize)) == size;
}

}  // namespace

bool CVesmarinManager::FileCache(int32_t channelId, std::string& path, bool written,
                                 int32_t expectedSize, int32_t expectedCrc) {
    CacheLog("FileCache " + path);
    const std::string centralPath = platform::AsciiUpper(path);
    const std::optional<std::string> cachePath = net::CachePathOfCentralPath(centralPath);
    if (!cachePath) {
        CacheLog("FileCache refused: " + centralPath + " has no place inside the file cache");
        return false;
    }
    const int64_t now = NowSeconds();
    {
        std::lock_guard cacheLock(file_cache_.Lock());
        const std::optional<CFileDateSizeCRC> found = file_cache_.Find(centralPath);
        if (!found && written) {
            CacheLog("CRC Data on read state unknown");
            return false;
        }
        // The hour's hit touches no disk.
        if (found && !written && SizeMatches(expectedSize, found->size) &&
            found->crc32 == static_cast<uint32_t>(expectedCrc) &&
            now - found->checked < kTrustedCheckSeconds) {
            path = *cachePath;
            return true;
        }
        const CacheCheck check =
            CheckCachedCopy(channelId, centralPath, *cachePath, written, &expectedSize, expectedCrc,
                            found.value_or(CFileDateSizeCRC::Fresh(now)), now);
        if (check == CacheCheck::kRefused) {
            return false;
        }
        if (check == CacheCheck::kAccepted) {
            if (!written) {
                path = *cachePath;
            }
            return true;
        }
    }
    // The lock is let go before the network is asked, which may take up to its time-out.
    if (written) {
        return false;
    }
    if (!CreatePathDirectories(*cachePath)) {
        CacheLog("Could not create the folders of " + *cachePath);
    }
    if (expectedSize == 0) {
        // The caller creates the file.
        path = *cachePath;
        return true;
    }
    if (!file_listener_ || !file_listener_->HasCentralSocket()) {
        CacheLog("No Connected File Socket for File Cache");
        return false;
    }
    // The central server's figures go with the request: the copy it then sends is taken in any
    // case (the second pass below expects nothing), and one unlike them is logged.
    std::optional<net::ExpectedFile> expected;
    if (expectedSize != kAnySize) {
        expected = net::ExpectedFile{static_cast<uint32_t>(expectedSize),
                                     static_cast<uint32_t>(expectedCrc)};
    }
    std::string answer = *cachePath;
    if (!file_listener_->RequestFile(centralPath, answer, expected)) {
        CacheLog("Request File Failed " + answer);
        return false;
    }
    path = centralPath;
    return FileCache(channelId, path, false, kAnySize, kAnySize);
}

bool CVesmarinManager::QueueRecordingWithoutRecord(int32_t channelId,
                                                   const std::string& centralPath) {
    std::string mapped = centralPath;
    if (FileMapping(mapped)) {
        return false;  // written outside the cache, where the moves do not look
    }
    const std::string upper = platform::AsciiUpper(centralPath);
    const std::optional<std::string> cachePath = net::CachePathOfCentralPath(upper);
    std::error_code error;
    if (!cachePath || !fs::is_regular_file(platform::MapWindowsPath(*cachePath), error)) {
        return false;
    }
    CacheLog("FileCache refused the recording " + *cachePath +
             ": it is queued for the central server without its CRC record");
    QueueMoveFile(channelId, *cachePath, upper, kMoveRetries);
    return true;
}

// The copy on disk against the record; under the cache lock. The copy is closed again before
// the caller asks for a new one.
CVesmarinManager::CacheCheck CVesmarinManager::CheckCachedCopy(
    int32_t channelId, const std::string& centralPath, const std::string& cachePath, bool written,
    int32_t* expectedSize, int32_t expectedCrc, CFileDateSizeCRC record, int64_t now) {
    const fs::path hostPath = platform::MapWindowsPath(cachePath);
    std::error_code error;
    if (hostPath.empty() || !fs::exists(hostPath, error)) {
        if (!written) {
            file_cache_.Set(centralPath, CFileDateSizeCRC::Fresh(now));
        }
        return CacheCheck::kFetch;
    }
    int64_t length = 0;
    {
        platform::ReadOnlyFile copy;
        if (const uint32_t openError = copy.Open(cachePath); openError != 0) {
            CacheLog("Could not open file " + cachePath + ": " +
                     platform::WinErrorText(openError).substr(0, kErrorTextLimit));
            return CacheCheck::kRefused;
        }
        length = static_cast<int64_t>(copy.Size().value_or(0));
    }
    const int64_t modified = ModificationTime(hostPath);
    const auto checksum = [&](uint32_t* crc) {
        const uint32_t crcError = foundation::GetFileCrc32(cachePath, *crc);
        if (crcError != 0) {
            CacheLog("Could not read file " + cachePath + ": " +
                     platform::WinErrorText(crcError).substr(0, kErrorTextLimit));
        }
        return crcError == 0;
    };

    if (written) {
        if (length == record.size && modified == record.modified) {
            return CacheCheck::kAccepted;
        }
        if (!checksum(&record.crc32)) {
            return CacheCheck::kRefused;
        }
        record.size = length;
        record.modified = modified;
        record.checked = now;
        file_cache_.Set(centralPath, record);
        // Queued all the same: the queue is kept on disk and waits for the connection, and a
        // recording not queued now would never reach the central server.
        if (!file_listener_ || !file_listener_->HasCentralSocket()) {
            CacheLog("No Connected File Socket for File Cache");
        }
        QueueMoveFile(channelId, cachePath, centralPath, kMoveRetries);
        return CacheCheck::kAccepted;
    }

    if (IsReadOnly(hostPath)) {
        CacheLog("remove file attribute read only from " + cachePath);
        MakeFileReadWrite(cachePath);
    }
    if (*expectedSize == 0 && now - record.checked < kFreshCopySeconds) {
        *expectedSize = kAnySize;
    }
    if (*expectedSize != kAnySize && !SizeMatches(*expectedSize, length)) {
        if (*expectedSize == 0) {
            fs::remove(hostPath, error);
            file_cache_.Set(centralPath, CFileDateSizeCRC::Fresh(now));
        }
        return CacheCheck::kFetch;
    }
    if (!checksum(&record.crc32)) {
        return CacheCheck::kRefused;
    }
    record.size = length;
    record.modified = modified;
    if (record.crc32 != static_cast<uint32_t>(expectedCrc) && *expectedSize != kAnySize) {
        return CacheCheck::kFetch;
    }
    record.checked = now;
    file_cache_.Set(centralPath, record);
    return CacheCheck::kAccepted;
}

bool CVesmarinManager::CreatePathDirectories(const std::string& path) {
    const size_t separator = path.find_last_of('\\');
    if (separator == std::string::npos) {
        return true;
    }
    const fs::path folder = platform::MapWindowsPath(path.substr(0, separator));
    std::error_code error;
    fs::create_directories(folder, error);
    return fs::is_directory(folder, error);
}

void CVesmarinManager::RemoveFileFromCache(const std::string& name) {
    CacheLog("RemoveFileFromCache " + name);
    std::optional<std::string> cachePath = net::CachePathOfCentralPath(name);
    if (!cachePath) {
        CacheLog("RemoveFileFromCache refused: " + name + " has no place inside the file cache");
        return;
    }
    cachePath = platform::AsciiUpper(*cachePath);
    const fs::path hostPath = platform::MapWindowsPath(*cachePath);
    std::error_code error;
    if (hostPath.empty() || !fs::is_regular_file(hostPath, error)) {
        return;
    }
    std::lock_guard cacheLock(file_cache_.Lock());
    MakeFileReadWrite(*cachePath);
    if (!fs::remove(hostPath, error)) {
        CacheLog("remove(" + *cachePath + ") failed, error=" + std::to_string(error.value()));
        return;
    }
    // Under the table's key, so that the next open does not trust the removed copy.
    file_cache_.Set(platform::AsciiUpper(name), CFileDateSizeCRC::Fresh(NowSeconds()));
    CacheLog("file removed: " + *cachePath);
}

void CVesmarinManager::RecursiveRemoveFileNotInMapFile2CRCFromDir(const std::string& folder) {
    std::lock_guard cacheLock(file_cache_.Lock());
    if (const std::string reason = move_queue_.IncompleteReason(); !reason.empty()) {
        // The recordings of moves that the kept queue does not hold are in there, unknown: a
        // restart now would know them only from what is on disk.
        CacheLog("The move queue is not whole on disk (" + reason + "): nothing is removed from " +
                 folder);
        return;
    }
    const fs::path root = platform::MapWindowsPath(folder);
    const std::set<std::string> moving = [this] {
        std::set<std::string> sources;
        for (const std::string& source : move_queue_.Sources()) {
            sources.insert(platform::FoldWindowsNameCase(source));
        }
        return sources;
    }();
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file(error)) {
            continue;
        }
        std::string name = it->path().lexically_relative(root).string();
        std::replace(name.begin(), name.end(), '/', '\\');
        const std::string cachePath = platform::JoinWindowsPath(folder, name);
        const std::string centralPath = net::CentralPathOfCacheName(platform::AsciiUpper(name));
        if (file_cache_.Find(centralPath) ||
            moving.count(platform::FoldWindowsNameCase(cachePath)) != 0) {
            continue;
        }
        std::error_code removeError;
        MakeFileReadWrite(cachePath);
        if (!fs::remove(it->path(), removeError)) {
            CacheLog("remove(" + cachePath +
                     ") failed, error=" + std::to_string(removeError.value()));
        }
    }
}

void CVesmarinManager::PruneFileCacheTable(const std::set<std::string>& openFileNames) {
    std::lock_guard cacheLock(file_cache_.Lock());
    for (const auto& [name, record] : file_cache_.Snapshot()) {
        if (openFileNames.count(name) == 0) {
            file_cache_.Erase(name);
        }
    }
}

}  // namespace ruzd::node
