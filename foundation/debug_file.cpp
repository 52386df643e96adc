#include "foundation/debug_file.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "foundation/debug_banner.h"
#include "foundation/debug_folder.h"
#include "foundation/debug_interval.h"
#include "foundation/time_tools.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/thread_slot.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

// The writer thread's message: ended lines wait in the log's queue.
constexpr uint32_t kWmWriteLines = platform::kWmUser + 1;

std::atomic<uint64_t> g_next_serial{1};
std::atomic<size_t> g_live_records{0};

void FreeThreadRecord(void* record) {
    delete static_cast<CDebugFile::TThreadStruct*>(record);
    g_live_records.fetch_sub(1);
}

// The records live in a thread slot that frees them when the thread ends, after the thread's
// C++ thread_local objects are gone: a line written from one of those still finds (and again
// frees) its record.
platform::ThreadSlot& ThreadRecords() {
    // Never destroyed: threads that end during the process's exit still free their records.
    static auto* slot = new platform::ThreadSlot(&FreeThreadRecord);
    return *slot;
}

int64_t SecondsOf(platform::WallTime time) {
    return std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
}

// The line as the file holds it: Windows-1252 with a CRLF.
void AppendFileBytes(std::string& out, const std::string& line) {
    bool ascii = true;
    for (char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        out += line;
    } else {
        out += platform::Utf8ToCp1252(line);
    }
    out += "\r\n";
}

// "13:05:09.042:1a4:000000345:Vo0012 2 " and, for plain and entry lines, the depth's dashes.
void AppendLineHeader(std::string& out, EDebugChannelType channel, int32_t line, int32_t call_id,
                      CDebugFile::LineMode mode, int depth) {
    const SystemTime now = TimeTools::GetUtcSystemTime();
    char buffer[96];
    int n = std::snprintf(buffer, sizeof(buffer), "%02u:%02u:%02u.%03u:%03x", now.hour, now.minute,
                          now.second, now.milliseconds, platform::CurrentThreadId() & 0xFFFu);
    if (call_id == kDebugNone) {
        n += std::snprintf(buffer + n, sizeof(buffer) - n, ":---------:");
    } else {
        n += std::snprintf(buffer + n, sizeof(buffer) - n, ":%09d:", call_id % 1000000000);
    }
    n += std::snprintf(buffer + n, sizeof(buffer) - n, "%s", DebugChannelCode(channel));
    if (line == kDebugNone) {
        n += std::snprintf(buffer + n, sizeof(buffer) - n, "     ");
    } else if (line < 10000) {
        n += std::snprintf(buffer + n, sizeof(buffer) - n, "%04d ", line);
    } else {
        n += std::snprintf(buffer + n, sizeof(buffer) - n, "+%03d ", line % 1000);
    }
    n += std::snprintf(buffer + n, sizeof(buffer) - n, "%X ", depth >= 16 ? 15 : depth);
    out.append(buffer, static_cast<size_t>(n));
    if (mode != CDebugFile::kExitLine) {
        for (int i = 0; i < depth; ++i)
            out += "--";
        out += mode == CDebugFile::kEntryLine ? "> " : "- ";
    }
}

}  // namespace

CDebugFile::CDebugFile(std::string folder_prefix, uint32_t interval, bool enabled,
                       uint32_t max_files)
    : serial_(g_next_serial.fetch_add(1)),
      interval_(interval),
      max_files_(max_files),
      folder_prefix_(std::move(folder_prefix)) {
    SetEnabled(enabled);
}

CDebugFile::~CDebugFile() {
    platform::CriticalSectionLock lock(lock_);
    CloseFile();
}

const std::shared_ptr<CDebugFile>& CDebugFile::Inert() {
    // Never destroyed, so that it outlives every static that might log on its way out.
    static const auto* inert =
        new std::shared_ptr<CDebugFile>(std::make_shared<CDebugFile>("", 0, false, 0));
    return *inert;
}

size_t CDebugFile::LiveThreadRecords() {
    return g_live_records.load();
}

void CDebugFile::SetEnabled(bool enabled) {
    platform::CriticalSectionLock lock(lock_);
    if (enabled == enabled_.load())
        return;
    if (enabled) {
        enabled_.store(true);
        OpenFile();
        WriteLogLine("Logging turned on");
    } else {
        WriteLogLine("Logging turned off");
        CloseFile();
        enabled_.store(false);
    }
}

std::string CDebugFile::GetCurrentPath() const {
    platform::CriticalSectionLock lock(lock_);
    return current_path_;
}

std::string CDebugFile::MakeFileName() const {
    platform::CriticalSectionLock lock(lock_);
    return folder_prefix_ + DebugIntervalAt(interval_, SecondsOf(TimeTools::GetUtcNow())).file_name;
}

void CDebugFile::SetInterval(uint32_t interval) {
    platform::CriticalSectionLock lock(lock_);
    interval_ = interval;
}

void CDebugFile::SetMaxFiles(uint32_t max_files) {
    platform::CriticalSectionLock lock(lock_);
    max_files_ = max_files;
}

void CDebugFile::SetFolder(std::string folder_prefix) {
    platform::CriticalSectionLock lock(lock_);
    folder_prefix_ = std::move(folder_prefix);
    // A log that is off has no file to move: it opens one in the new folder when turned on.
    if (enabled_.load()) {
        CloseFile();
        OpenFile();
    }
}

CDebugFile& CDebugFile::BeginLine(EDebugChannelType channel, int32_t line, int32_t call_id,
                                  LineMode mode) {
    if (!enabled_.load())
        return *this;
    TThreadStruct& record = GetThreadStruct();
    record.entry_line = mode == kEntryLine ? 1 : 0;
    record.argument_state = record.entry_line != 0 ? 2 : 0;
    // A line that was begun and never ended goes out as it stands.
    if (!record.pending.empty())
        QueueLine(record.pending);
    AppendLineHeader(record.pending, channel, line, call_id, mode, record.depth);
    if (mode == kEntryLine)
        ++record.depth;
    return *this;
}

CDebugFile& CDebugFile::Append(uint8_t value) {
    return Append(static_cast<int32_t>(value));
}

CDebugFile& CDebugFile::Append(uint16_t value) {
    return Append(static_cast<int32_t>(value));
}

CDebugFile& CDebugFile::Append(int32_t value) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof(buffer), "%d", value);
    return Append(std::string_view(buffer, static_cast<size_t>(n)));
}

CDebugFile& CDebugFile::Append(uint32_t value) {
    return Append(static_cast<int32_t>(value));
}

CDebugFile& CDebugFile::AppendInt64(int64_t value) {
    char buffer[24];
    const int n = std::snprintf(buffer, sizeof(buffer), "%lld", static_cast<long long>(value));
    return Append(std::string_view(buffer, static_cast<size_t>(n)));
}

CDebugFile& CDebugFile::Append(std::string_view text) {
    if (!enabled_.load())
        return *this;
    TThreadStruct& record = GetThreadStruct();
    if (record.entry_line != 0) {
        if (record.argument_state == 2) {
            record.argument_state = 1;
        } else if (record.argument_state == 1) {
            record.pending += " (";
            record.argument_state = 0;
        } else {
            record.pending += ", ";
        }
    }
    record.pending += text;
    return *this;
}

CDebugFile& CDebugFile::EndLine(DebugEndLine) {
    if (!enabled_.load())
        return *this;
    TThreadStruct& record = GetThreadStruct();
    if (record.entry_line != 0)
        record.pending += record.argument_state != 0 ? "()" : ")";
    QueueLine(record.pending);
    return *this;
}

void CDebugFile::WriteExitLine(EDebugChannelType channel, int32_t line, int32_t call_id,
                               std::string_view name, std::string_view result) {
    TThreadStruct& record = GetThreadStruct();
    if (record.depth > 1)
        --record.depth;
    std::string arrow = "<";
    for (int i = 0; i < record.depth; ++i)
        arrow += "--";
    arrow += "  ";
    BeginLine(channel, line, call_id, kExitLine)
        .Append(arrow)
        .Append(" ")
        .Append(name)
        .Append(" returns ")
        .Append(result)
        .EndLine();
}

void CDebugFile::EnableAsync(uint32_t writer_thread_id) {
    platform::CriticalSectionLock lock(lock_);
    writer_thread_id_ = writer_thread_id;
    async_ = writer_thread_id != 0;
    writer_awake_ = false;
}

void CDebugFile::DisableAsync() {
    platform::CriticalSectionLock lock(lock_);
    async_ = false;
    writer_thread_id_ = 0;
    FlushLocked();
    RotateIfDueLocked();
}

void CDebugFile::WriteQueuedLines() {
    std::unique_lock lock(lock_);
    for (;;) {
        if (queued_.empty()) {
            // From now on the next queued line wakes the writer again.
            writer_awake_ = false;
            return;
        }
        {
            // The batch is written outside the log lock, so that the callers can queue their
            // next lines meanwhile. Whoever writes or closes the file next waits for the file
            // lock, which keeps the lines in order.
            std::unique_lock file(file_lock_);
            writing_.swap(queued_);
            lock.unlock();
            file_.WriteAll(writing_);
            writing_.clear();
        }
        lock.lock();
        RotateIfDueLocked();
    }
}

void CDebugFile::QueueLine(std::string& line) {
    platform::CriticalSectionLock lock(lock_);
    AppendFileBytes(queued_, line);
    line.clear();
    if (async_) {
        // The writer takes everything queued each time round; it needs waking only when it
        // has gone back to waiting for messages.
        if (writer_awake_)
            return;
        if (platform::PostThreadMessage(writer_thread_id_, kWmWriteLines)) {
            writer_awake_ = true;
            return;
        }
        // The writer is gone; its lines are not lost, the callers write them from now on.
        async_ = false;
        writer_thread_id_ = 0;
    }
    FlushLocked();
    RotateIfDueLocked();
}

void CDebugFile::FlushLocked() {
    std::lock_guard file(file_lock_);
    if (queued_.empty())
        return;
    file_.WriteAll(queued_);
    queued_.clear();
}

void CDebugFile::RotateIfDueLocked() {
    // Nothing to rotate while the log is off: rotating would open a file with its banner.
    if (!rotation_allowed_ || !enabled_.load())
        return;
    const int64_t now = SecondsOf(TimeTools::GetUtcNow());
    if (now < next_boundary_ && TimeTools::GetUtcOffsetSeconds() == utc_offset_at_opening_)
        return;
    CloseFile();
    OpenFile();
}

void CDebugFile::OpenFile() {
    const bool rotation_allowed = rotation_allowed_;
    rotation_allowed_ = false;
    FlushLocked();
    std::unique_lock file(file_lock_);
    file_.Close();
    utc_offset_at_opening_ = TimeTools::GetUtcOffsetSeconds();
    const DebugInterval interval = DebugIntervalAt(interval_, SecondsOf(TimeTools::GetUtcNow()));
    next_boundary_ = interval.next_boundary;
    const std::string path = folder_prefix_ + interval.file_name;
    file_.Open(platform::MapWindowsPath(path));
    file.unlock();
    if (path != current_path_) {
        // A banner only for a file this log was not just writing.
        current_path_ = path;
        std::string banner = BuildDebugBanner(interval.label);
        QueueLine(banner);
    }
    rotation_allowed_ = rotation_allowed;
}

void CDebugFile::CloseFile() {
    const bool rotation_allowed = rotation_allowed_;
    rotation_allowed_ = false;
    WriteLogLine("Log file closed");
    FlushLocked();
    {
        std::lock_guard file(file_lock_);
        file_.Close();
    }
    TrimDebugFiles(folder_prefix_, max_files_);
    rotation_allowed_ = rotation_allowed;
}

void CDebugFile::WriteLogLine(const char* text) {
    BeginLine(kDebugChannelLog, kDebugNone, kDebugNone, kPlainLine).Append(text).EndLine();
}

CDebugFile::TThreadStruct& CDebugFile::GetThreadStruct() {
    platform::ThreadSlot& records = ThreadRecords();
    auto* record = static_cast<TThreadStruct*>(records.Get());
    if (record == nullptr) {
        record = new TThreadStruct();
        records.Set(record);
        g_live_records.fetch_add(1);
    }
    if (record->log_serial != serial_) {
        *record = TThreadStruct();
        record->log_serial = serial_;
    }
    return *record;
}

}  // namespace ruzd::foundation
