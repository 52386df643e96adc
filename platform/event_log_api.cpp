#include "platform/event_log_api.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/bounded_file_lock.h"
#include "platform/computer_name.h"
#include "platform/live_handles.h"
#include "platform/owner_only_file.h"
#include "platform/reg_tree.h"
#include "platform/reg_value.h"
#include "platform/registry_store.h"
#include "platform/regular_file.h"
#include "platform/root.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {

struct EventSourceData {
    EventLogWriter writer;
};

// Tells of changes of one store, on a thread of its own.
class StoreWatcher {
public:
    StoreWatcher(std::filesystem::path store, Event* event) : event_(event) {
        inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ < 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0 ||
            ::inotify_add_watch(inotify_, store.parent_path().c_str(),
                                IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_MOVED_TO) < 0) {
            error_ = WinErrorFromLastErrno();
            return;
        }
        thread_ = std::thread([this, name = store.filename().string()] { Watch(name); });
    }
    ~StoreWatcher() {
        if (thread_.joinable()) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t ignored = ::write(wake_[1], &byte, 1);
            thread_.join();
        }
        for (const int fd : {inotify_, wake_[0], wake_[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    StoreWatcher(const StoreWatcher&) = delete;
    StoreWatcher& operator=(const StoreWatcher&) = delete;

    uint32_t error() const { return error_; }

private:
    void Watch(const std::string& name) {
        for (;;) {
            pollfd entries[2] = {{inotify_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(entries, 2, -1) < 0) {
                continue;
            }
            if (entries[1].revents != 0) {
                return;
            }
            alignas(inotify_event) char buffer[4096];
            const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
            for (ssize_t offset = 0; offset < got;) {
                const auto* change = reinterpret_cast<const inotify_event*>(buffer + offset);
                if (change->len > 0 && name == change->name) {
                    event_->Set();
                }
                offset += static_cast<ssize_t>(sizeof(inotify_event) + change->len);
            }
        }
    }

    Event* event_;
    int inotify_ = -1;
    int wake_[2] = {-1, -1};
    uint32_t error_ = kErrorSuccess;
    std::thread thread_;
};

struct EventLogData {
    std::filesystem::path file;
    bool backup = false;
    std::mutex mutex;
    std::optional<uint32_t> last_read;  // the record number the last read ended with
    std::unique_ptr<StoreWatcher> watcher;
};

namespace {

const std::vector<std::string> kEventLogPath = {"SYSTEM", "CurrentControlSet", "Services",
                                                "EventLog"};

LiveHandles& Handles() {
    static LiveHandles* handles = new LiveHandles;
    return *handles;
}

EventLogData* LogOf(EventLogHandle handle) {
    if (handle == nullptr || !Handles().Contains(handle)) {
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    return handle;
}

void Append16(std::string& bytes, uint16_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void PadTo4(std::string& bytes) {
    bytes.append((4 - bytes.size() % 4) % 4, '\0');
}

std::string WideWithNull(std::string_view text) {
    return Utf8ToUtf16leBytes(text) + std::string(2, '\0');
}

bool LogKnown(std::string_view log) {
    bool known = false;
    RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* logs = root.Find(kEventLogPath);
        known = logs != nullptr && logs->FindSubkey(log) != nullptr;
        return kErrorSuccess;
    });
    return known;
}

// The records of the handle's file; a store not written yet has none.
std::vector<EventRecord> Records(const EventLogData& log) {
    EventLogReader reader;
    reader.OpenFile(log.file);
    return reader.records();
}

// The file's bytes read under the writers' lock where this account may take it, so that no
// half-written record is taken; another account's copy may end in one, which a reader passes
// over.
uint32_t ReadStore(const std::filesystem::path& path, std::string* content) {
    content->clear();
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        return errno == ENOENT ? kErrorSuccess : WinErrorFromLastErrno();
    }
    const int lock = OpenRegularFile(EventLogLockPath(path), O_RDONLY | O_NOFOLLOW);
    if (lock >= 0 && !LockFileWithin(lock, LOCK_SH, kFileLockWaitMs)) {
        const uint32_t error = errno == EWOULDBLOCK ? kErrorLockViolation : WinErrorFromLastErrno();
        ::close(lock);
        ::close(fd);
        return error;
    }
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0) {
            content->append(buffer, static_cast<size_t>(got));
        }
    }
    const uint32_t error = got < 0 ? WinErrorFromLastErrno() : kErrorSuccess;
    if (lock >= 0) {
        ::close(lock);
    }
    ::close(fd);
    return error;
}

uint32_t WriteNewFile(std::string_view windows_path, const std::string& content) {
    const std::filesystem::path path = MapWindowsPath(windows_path);
    if (path.empty()) {
        return kErrorInvalidName;
    }
    const int fd = OpenRegularFile(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        return errno == EEXIST ? kErrorAlreadyExists : WinErrorFromLastErrno();
    }
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const uint32_t error = WinErrorFromLastErrno();
            ::close(fd);
            return error;
        }
        written += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 ? kErrorSuccess : WinErrorFromLastErrno();
}

}  // namespace

std::string EventLogRecordBytes(const EventRecord& record) {
    std::string bytes(kEventLogRecordHeaderSize, '\0');
    Put32(bytes, 4, kEventLogRecordSignature);
    Put32(bytes, 8, record.record_number);
    Put32(bytes, 12, static_cast<uint32_t>(record.time_generated));
    Put32(bytes, 16, static_cast<uint32_t>(record.time_written));
    Put32(bytes, 20, record.event_id);
    std::string small;
    Append16(small, record.type);
    Append16(small, static_cast<uint16_t>(record.strings.size()));
    Append16(small, record.category);
    Append16(small, 0);
    bytes.replace(24, small.size(), small);
    bytes += WideWithNull(record.source);
    bytes += WideWithNull(record.computer);
    PadTo4(bytes);
    Put32(bytes, 40, static_cast<uint32_t>(record.user_sid.size()));
    Put32(bytes, 44, static_cast<uint32_t>(bytes.size()));
    bytes += record.user_sid;
    Put32(bytes, 36, static_cast<uint32_t>(bytes.size()));
    for (const std::string& text : record.strings) {
        bytes += WideWithNull(text);
    }
    Put32(bytes, 48, static_cast<uint32_t>(record.data.size()));
    Put32(bytes, 52, static_cast<uint32_t>(bytes.size()));
    bytes += record.data;
    PadTo4(bytes);
    const uint32_t length = static_cast<uint32_t>(bytes.size() + 4);
    AppendLittleEndian32(bytes, length);
    Put32(bytes, 0, length);
    return bytes;
}

std::string EventLogOfSource(std::string_view source) {
    std::string found = "Application";
    RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* logs = root.Find(kEventLogPath);
        if (logs == nullptr) {
            return kErrorSuccess;
        }
        for (const auto& log : logs->subkeys()) {
            const RegValue* sources = log->FindValue("Sources");
            const auto names =
                sources == nullptr ? std::nullopt : RegMultiSzTexts(sources->type, sources->data);
            if (names && std::any_of(names->begin(), names->end(), [&](const std::string& name) {
                    return EqualsIgnoreCase(name, source);
                })) {
                found = log->name();
                break;
            }
        }
        return kErrorSuccess;
    });
    return found;
}

EventSourceHandle RegisterEventSource(std::string_view server, std::string_view source) {
    if (!IsLocalMachineName(server)) {
        SetLastError(kErrorRpcServerUnavailable);
        return nullptr;
    }
    if (source.empty()) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    auto handle = std::make_unique<EventSourceData>();
    // A store that cannot be used is said by the writer and fails each ReportEvent, while the
    // reports still reach syslog: the source is had all the same, as a Windows source is
    // whatever state its log file is in.
    handle->writer.Open(source, EventLogOfSource(source));
    Handles().Add(handle.get());
    return handle.release();
}

bool DeregisterEventSource(EventSourceHandle source) {
    if (source == nullptr || !Handles().Remove(source)) {
        return FailWithError(kErrorInvalidHandle);
    }
    delete source;
    return true;
}

bool ReportEvent(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                 std::string_view user_sid, const std::vector<std::string>& strings,
                 std::string_view data) {
    if (source == nullptr || !Handles().Contains(source)) {
        return FailWithError(kErrorInvalidHandle);
    }
    const uint32_t error = source->writer.Report(type, category, event_id, strings, data, user_sid);
    return error == kErrorSuccess || FailWithError(error);
}

EventLogHandle OpenEventLog(std::string_view server, std::string_view log) {
    if (!IsLocalMachineName(server)) {
        SetLastError(kErrorRpcServerUnavailable);
        return nullptr;
    }
    auto handle = std::make_unique<EventLogData>();
    handle->file = EventLogStorePath(LogKnown(log) ? log : "Application");
    Handles().Add(handle.get());
    return handle.release();
}

EventLogHandle OpenBackupEventLog(std::string_view server, std::string_view file) {
    if (!IsLocalMachineName(server)) {
        SetLastError(kErrorRpcServerUnavailable);
        return nullptr;
    }
    const std::filesystem::path path = MapWindowsPath(file);
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        SetLastError(kErrorFileNotFound);
        return nullptr;
    }
    auto handle = std::make_unique<EventLogData>();
    handle->file = path;
    handle->backup = true;
    Handles().Add(handle.get());
    return handle.release();
}

bool CloseEventLog(EventLogHandle log) {
    if (log == nullptr || !Handles().Remove(log)) {
        return FailWithError(kErrorInvalidHandle);
    }
    delete log;
    return true;
}

bool ReadEventLog(EventLogHandle handle, uint32_t flags, uint32_t record_offset, void* buffer,
                  uint32_t size, uint32_t* bytes_read, uint32_t* bytes_needed) {
    EventLogData* log = LogOf(handle);
    if (log == nullptr) {
        return false;
    }
    const bool sequential = (flags & kEventLogSequentialRead) != 0;
    const bool seek = (flags & kEventLogSeekRead) != 0;
    const bool forwards = (flags & kEventLogForwardsRead) != 0;
    const bool backwards = (flags & kEventLogBackwardsRead) != 0;
    if (sequential == seek || forwards == backwards || bytes_read == nullptr ||
        bytes_needed == nullptr || (buffer == nullptr && size != 0)) {
        return FailWithError(kErrorInvalidParameter);
    }
    *bytes_read = 0;
    *bytes_needed = 0;
    std::lock_guard<std::mutex> lock(log->mutex);
    const std::vector<EventRecord> records = Records(*log);
    const auto number_of = [&](size_t index) { return records[index].record_number; };
    // The index of the first record to hand out; records.size() for none.
    size_t index = records.size();
    if (seek) {
        for (size_t i = 0; i < records.size(); ++i) {
            if (number_of(i) == record_offset) {
                index = i;
            }
        }
        if (index == records.size()) {
            return FailWithError(kErrorInvalidParameter);
        }
    } else if (!records.empty() && !log->last_read) {
        index = forwards ? 0 : records.size() - 1;
    } else if (!records.empty()) {
        for (size_t i = 0; i < records.size(); ++i) {
            const size_t at = forwards ? i : records.size() - 1 - i;
            if (forwards ? number_of(at) > *log->last_read : number_of(at) < *log->last_read) {
                index = at;
                break;
            }
        }
    }
    if (index >= records.size()) {
        return FailWithError(kErrorHandleEof);
    }
    auto* out = static_cast<char*>(buffer);
    for (;;) {
        const std::string bytes = EventLogRecordBytes(records[index]);
        if (bytes.size() > size - *bytes_read) {
            if (*bytes_read == 0) {
                *bytes_needed = static_cast<uint32_t>(bytes.size());
                return FailWithError(kErrorInsufficientBuffer);
            }
            return true;
        }
        std::memcpy(out + *bytes_read, bytes.data(), bytes.size());
        *bytes_read += static_cast<uint32_t>(bytes.size());
        log->last_read = number_of(index);
        if (forwards ? index + 1 >= records.size() : index == 0) {
            return true;
        }
        index = forwards ? index + 1 : index - 1;
    }
}

bool GetNumberOfEventLogRecords(EventLogHandle handle, uint32_t* count) {
    EventLogData* log = LogOf(handle);
    if (log == nullptr) {
        return false;
    }
    *count = static_cast<uint32_t>(Records(*log).size());
    return true;
}

bool GetOldestEventLogRecord(EventLogHandle handle, uint32_t* oldest) {
    EventLogData* log = LogOf(handle);
    if (log == nullptr) {
        return false;
    }
    const std::vector<EventRecord> records = Records(*log);
    *oldest = records.empty() ? 0 : records.front().record_number;
    return true;
}

bool BackupEventLog(EventLogHandle handle, std::string_view file) {
    EventLogData* log = LogOf(handle);
    if (log == nullptr) {
        return false;
    }
    std::string content;
    uint32_t error = ReadStore(log->file, &content);
    if (error == kErrorSuccess) {
        error = WriteNewFile(file, content);
    }
    return error == kErrorSuccess || FailWithError(error);
}

bool ClearEventLog(EventLogHandle handle, std::string_view backup_file) {
    EventLogData* log = LogOf(handle);
    if (log == nullptr) {
        return false;
    }
    if (log->backup) {
        return FailWithError(kErrorInvalidHandle);
    }
    if (!backup_file.empty() && !BackupEventLog(handle, backup_file)) {
        return false;
    }
    const int fd = OpenRegularFile(log->file, O_RDWR | O_CREAT, 0644);
    if (fd < 0) {
        return FailWithError(WinErrorFromLastErrno());
    }
    const int writers = OpenOwnerLockFile(EventLogLockPath(log->file));
    if (writers < 0 || !LockFileWithin(writers, LOCK_EX, kFileLockWaitMs)) {
        const uint32_t error = errno == EWOULDBLOCK ? kErrorLockViolation : WinErrorFromLastErrno();
        if (writers >= 0) {
            ::close(writers);
        }
        ::close(fd);
        return FailWithError(error);
    }
    const bool cleared = ::ftruncate(fd, 0) == 0;
    const uint32_t error = cleared ? kErrorSuccess : WinErrorFromLastErrno();
    ::close(writers);
    ::close(fd);
    std::lock_guard<std::mutex> lock(log->mutex);
    log->last_read.reset();
    return cleared || FailWithError(error);
}

bool NotifyChangeEventLog(EventLogHandle handle, Event* event) {
    EventLogData* log = LogOf(handle);
    if (log == nullptr) {
        return false;
    }
    if (log->backup || event == nullptr) {
        return FailWithError(log->backup ? kErrorInvalidHandle : kErrorInvalidParameter);
    }
    auto watcher = std::make_unique<StoreWatcher>(log->file, event);
    if (watcher->error() != kErrorSuccess) {
        return FailWithError(watcher->error());
    }
    std::lock_guard<std::mutex> lock(log->mutex);
    log->watcher = std::move(watcher);
    return true;
}

}  // namespace ruzd::platform
