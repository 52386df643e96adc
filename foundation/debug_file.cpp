#include "foundation/debug_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "foundation/debug_banner.h"
#include "foundation/debug_folder.h"
#include "foundation/debug_interval.h"
#include "foundation/debug_line_text.h"
#include "foundation/operator_alert.h"
#include "foundation/peer_log_limit.h"
#include "foundation/time_tools.h"
#include "platform/clock.h"
#include "platform/regular_file.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/thread_slot.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

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

constexpr int64_t kDaySeconds = 86400;

int64_t SecondsOf(platform::WallTime time) {
    return std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
}

// Between the values of an entry line: the name, then " (" before the first argument and ", "
// before the others.
void AppendSeparator(CDebugFile::TThreadStruct& record) {
    if (record.entry_line == 0)
        return;
    if (record.argument_state == 2) {
        record.argument_state = 1;
    } else if (record.argument_state == 1) {
        record.pending += " (";
        record.argument_state = 0;
    } else {
        record.pending += ", ";
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
    // The counts that were not due yet: the log's end must not take them with it.
    if (enabled_.load()) {
        WritePeerSummariesLocked(peer_ledger_.TakeAll(platform::CurrentClock().TickMs()));
    }
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
        WriteQueuedLocked();
        WritePeerSummariesLocked(peer_ledger_.TakeAll(platform::CurrentClock().TickMs()));
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

void CDebugFile::SetMaxFolderBytes(uint64_t max_bytes) {
    platform::CriticalSectionLock lock(lock_);
    max_bytes_ = max_bytes;
    if (enabled_.load()) {
        folder_bytes_ = TrimDebugFiles(folder_prefix_, TrimRules(0));
    }
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
        PassOn(record);
    AppendDebugLineHeader(record.pending, channel, line, call_id, mode, record.depth);
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
    AppendSeparator(record);
    record.pending += text;
    return *this;
}

CDebugFile& CDebugFile::AppendFormatted(const char* format, va_list args) {
    if (!enabled_.load())
        return *this;
    TThreadStruct& record = GetThreadStruct();
    AppendSeparator(record);
    platform::AppendFormatV(record.pending, format, args);
    return *this;
}

CDebugFile& CDebugFile::EndLine(DebugEndLine) {
    if (!enabled_.load())
        return *this;
    TThreadStruct& record = GetThreadStruct();
    if (record.entry_line != 0)
        record.pending += record.argument_state != 0 ? "()" : ")";
    PassOn(record);
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

void CDebugFile::EnableAsync() {
    queues_.StartAccepting();
}

void CDebugFile::DisableAsync() {
    queues_.StopAccepting();
    platform::CriticalSectionLock lock(lock_);
    WriteQueuedLocked();
    RotateIfDueLocked();
}

bool CDebugFile::AwaitQueuedLines(bool busy) {
    return queues_.AwaitLines(busy);
}

bool CDebugFile::WriteQueuedLines() {
    platform::CriticalSectionLock lock(lock_);
    bool wrote = WriteQueuedLocked();
    if (!wrote) {
        // A last look after the writer said it sleeps, for lines whose threads did not see it.
        queues_.Sleep();
        wrote = WriteQueuedLocked();
        if (wrote)
            queues_.StayAwake();
    }
    // A stranger that went quiet sends no line that would bring its count out: the writer
    // reports it when due.
    const std::vector<std::string> summaries =
        enabled_.load() ? peer_ledger_.Due(platform::CurrentClock().TickMs())
                        : std::vector<std::string>();
    if (!wrote && summaries.empty())
        return false;
    RotateIfDueLocked();
    WritePeerSummariesLocked(summaries);
    return wrote;
}

void CDebugFile::SetQueueBound(size_t bytes) {
    queues_.SetBoundBytes(bytes);
}

void CDebugFile::PassOn(TThreadStruct& record) {
    PeerLogLimit* const limit = ScopedPeerLogLimit::Current();
    if (limit == nullptr) {
        Queue(record);
        return;
    }
    const PeerLogLedger::Verdict verdict =
        peer_ledger_.Admit(limit->Peer(), platform::CurrentClock().TickMs());
    QueuePeerSummaries(record, verdict.summaries);
    if (!verdict.admitted) {
        record.pending.clear();
        return;
    }
    if (record.pending.size() > PeerLogLimit::kMaxLineBytes) {
        record.pending.resize(PeerLogLimit::kMaxLineBytes);
        record.pending += "...";
    }
    Queue(record);
}

void CDebugFile::QueuePeerSummaries(TThreadStruct& record,
                                    const std::vector<std::string>& summaries) {
    if (summaries.empty()) {
        return;
    }
    std::string line = std::move(record.pending);
    for (const std::string& summary : summaries) {
        record.pending.clear();
        AppendDebugLineHeader(record.pending, kDebugChannelSocket, kDebugNone, kDebugNone,
                              kPlainLine, record.depth);
        record.pending += summary;
        Queue(record);
    }
    record.pending = std::move(line);
}

void CDebugFile::WritePeerSummariesLocked(const std::vector<std::string>& summaries) {
    for (const std::string& summary : summaries) {
        std::string line;
        AppendDebugLineHeader(line, kDebugChannelSocket, kDebugNone, kDebugNone, kPlainLine, 1);
        line += summary;
        ToDebugFileBytes(line);
        WriteBoundedLocked(line);
    }
}

void CDebugFile::EndPeerConnection(const std::string& address) {
    if (!enabled_.load()) {
        return;
    }
    const std::vector<std::string> summaries =
        peer_ledger_.ConnectionEnded(address, platform::CurrentClock().TickMs());
    if (summaries.empty()) {
        return;
    }
    TThreadStruct& record = GetThreadStruct();
    QueuePeerSummaries(record, summaries);
}

void CDebugFile::Queue(TThreadStruct& record) {
    ToDebugFileBytes(record.pending);
    if (!record.queue)
        record.queue = queues_.AddQueue();
    if (!queues_.Push(*record.queue, record.pending)) {
        platform::CriticalSectionLock lock(lock_);
        // Lines this thread queued before the writer stopped may not have been written yet.
        WriteQueuedLocked();
        WriteNowLocked(record.pending);
    }
    record.pending.clear();
}

bool CDebugFile::WriteQueuedLocked() {
    // One write for all: far cheaper for the file system than one for each thread's lines.
    queues_.TakeAll([this](std::string_view bytes) { batch_ += bytes; });
    if (batch_.empty())
        return false;
    WriteBoundedLocked(batch_);
    batch_.clear();
    return true;
}

void CDebugFile::WriteNowLocked(std::string_view file_bytes) {
    WriteBoundedLocked(file_bytes);
    RotateIfDueLocked();
}

DebugTrimRules CDebugFile::TrimRules(uint32_t max_files) const {
    DebugTrimRules rules;
    rules.max_files = max_files;
    rules.max_bytes = max_bytes_;
    rules.current_path = current_path_;
    rules.recent = recent_;
    return rules;
}

void CDebugFile::WriteBoundedLocked(std::string_view bytes) {
    if (bytes.empty() || full_)
        return;
    if (max_bytes_ != 0 && folder_bytes_ + bytes.size() + kFullNoteReserve > max_bytes_) {
        // Room for these bytes and some more, so that the folder is not listed for every line.
        const uint64_t wanted = bytes.size() + kFullNoteReserve + max_bytes_ / 16;
        DebugTrimRules rules = TrimRules(0);
        rules.max_bytes = max_bytes_ > wanted ? max_bytes_ - wanted : 1;
        folder_bytes_ = TrimDebugFiles(folder_prefix_, rules);
        if (folder_bytes_ + bytes.size() + kFullNoteReserve > max_bytes_) {
            // The file being written holds the folder's bound by itself.
            full_ = true;
            std::string line;
            AppendDebugLineHeader(line, kDebugChannelLog, kDebugNone, kDebugNone, kPlainLine, 1);
            line += platform::Format(
                "Debug folder reached its bound of %llu bytes: lines are dropped until the next "
                "file",
                static_cast<unsigned long long>(max_bytes_));
            ToDebugFileBytes(line);
            WriteCountedLocked(line);
            return;
        }
    }
    WriteCountedLocked(bytes);
}

void CDebugFile::WriteCountedLocked(std::string_view bytes) {
    if (!file_.is_open() && open_error_ == 0) {
        return;  // a log that has no file now (off, or closing) loses nothing
    }
    if (lost_.any()) {
        std::string note;
        AppendDebugLineHeader(note, kDebugChannelLog, kDebugNone, kDebugNone, kPlainLine, 1);
        note += lost_.Note("debug lines");
        ToDebugFileBytes(note);
        if (const int error = file_.WriteAll(note); error != 0) {
            LoseLinesLocked(bytes, error);
            return;
        }
        folder_bytes_ += note.size();
        lost_.Told();
    }
    if (const int error = file_.WriteAll(bytes); error != 0) {
        LoseLinesLocked(bytes, error);
        return;
    }
    folder_bytes_ += bytes.size();
}

void CDebugFile::LoseLinesLocked(std::string_view bytes, int error) {
    // A file that is not open fails every write: what counts is why it could not be opened.
    if (!file_.is_open()) {
        error = open_error_;
    }
    if (!lost_.Lose(bytes, error, platform::CurrentClock().TickMs())) {
        return;
    }
    // The full host path, so that the operator finds the file whatever the working folder.
    std::error_code unknown;
    const std::string path =
        std::filesystem::absolute(platform::MapWindowsPath(current_path_), unknown).string();
    const std::string reason = platform::OpenErrorText(error);
    AlertOperator(file_.is_open()
                      ? platform::Format("Debug lines cannot be written to %s (%s): they are lost "
                                         "until they can",
                                         path.c_str(), reason.c_str())
                      : platform::Format("Debug file %s cannot be opened (%s): its lines are lost",
                                         path.c_str(), reason.c_str()));
}

void CDebugFile::RotateIfDueLocked() {
    // Nothing to rotate while the log is off: rotating would open a file with its banner.
    if (!enabled_.load())
        return;
    const int64_t now = SecondsOf(TimeTools::GetUtcNow());
    if (now < next_boundary_ && TimeTools::GetUtcOffsetSeconds() == utc_offset_at_opening_)
        return;
    CloseFile();
    OpenFile();
}

void CDebugFile::OpenFile() {
    utc_offset_at_opening_ = TimeTools::GetUtcOffsetSeconds();
    const DebugInterval interval = DebugIntervalAt(interval_, SecondsOf(TimeTools::GetUtcNow()));
    next_boundary_ = interval.next_boundary;
    const std::string path = folder_prefix_ + interval.file_name;
    // Not for everyone's eyes: the lines hold callers' numbers.
    open_error_ = file_.Open(platform::MapWindowsPath(path), 0640) ? 0 : file_.open_error();
    recent_ = std::chrono::seconds(interval.next_boundary == kDebugNoBoundary
                                       ? kDaySeconds
                                       : interval.next_boundary - interval.start);
    const bool new_path = path != current_path_;
    current_path_ = path;
    full_ = false;
    folder_bytes_ = max_bytes_ != 0 ? TrimDebugFiles(folder_prefix_, TrimRules(0)) : 0;
    if (new_path) {
        // A banner only for a file this log was not just writing.
        std::string banner = BuildDebugBanner(interval.label);
        ToDebugFileBytes(banner);
        // The banner comes first even in a file that follows lost lines: their count follows.
        const uint64_t lost = lost_.TakeCount();
        WriteBoundedLocked(banner);
        lost_.AddCount(lost);
    }
}

void CDebugFile::CloseFile() {
    // The queued lines belong to this file; lines queued from now on go to the next one.
    WriteQueuedLocked();
    WriteLogLine("Log file closed");
    file_.Close();
    open_error_ = 0;
    TrimDebugFiles(folder_prefix_, TrimRules(max_files_));
}

void CDebugFile::WriteLogLine(const char* text) {
    // Straight into the file, after whatever was written before: the log's own lines mark
    // where a file begins and ends.
    std::string line;
    AppendDebugLineHeader(line, kDebugChannelLog, kDebugNone, kDebugNone, kPlainLine,
                          GetThreadStruct().depth);
    line += text;
    ToDebugFileBytes(line);
    WriteBoundedLocked(line);
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
