#pragma once

// The node's debug log: text files in a debug folder, one file per time interval, each line
// stamped with the time (UTC minus the server time shift), the writing thread, a call id, a
// two-letter channel code, a line (port) number and the call depth of the writing thread.
//
// Lines are composed on the calling thread (begin, append values, end). While the writer thread
// runs (CDebugMessageThread) each thread queues its ended lines in a queue of its own and the
// writer writes all queues in batches; otherwise the calling thread writes its line at once.
// Either way each thread's lines reach the file in the order it ended them, whole. The log opens
// a new file when the interval's boundary passes or the machine's UTC offset changes, writes a
// banner into every newly opened file and deletes the oldest files beyond a configured number.
// The file holds Windows-1252 text with CRLF line ends.
//
// Lines that cannot be written (a full disk, a file that cannot be opened) are not counted as
// written: the first of them is told on the error output and in the event log (again an hour
// later at the soonest), and once lines can be written again the log says how many were lost.

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/debug_channel.h"
#include "foundation/debug_folder.h"
#include "foundation/debug_line_queues.h"
#include "foundation/lost_lines.h"
#include "foundation/peer_log_ledger.h"
#include "platform/append_only_file.h"
#include "platform/critical_section.h"

namespace ruzd::foundation {

// Ends the line being composed: log.BeginLine(...).Append(x).EndLine(kDebugEndLine).
struct DebugEndLine {};
inline constexpr DebugEndLine kDebugEndLine{};

class CDebugFile : public std::enable_shared_from_this<CDebugFile> {
public:
    // How a line begins.
    enum LineMode { kPlainLine = 0, kEntryLine = 1, kExitLine = 2 };

    // One per thread that wrote to the log; freed when the thread ends. Cache lines of its own,
    // as each line changes it.
    struct alignas(64) TThreadStruct {
        uint64_t log_serial = 0;  // the log this record belongs to
        int depth = 1;
        uint8_t entry_line = 0;      // the pending line is a function entry line
        uint8_t argument_state = 0;  // 2 before the name, 1 after it, 0 after an argument
        std::string pending;         // the line being composed
        std::shared_ptr<DebugThreadQueue> queue;  // its ended lines, while the writer runs
    };

    // `folder_prefix` is the debug folder with its trailing backslash and the file-name prefix
    // ("C:\Ruzd\Debug\Tav"), `interval` a "Debug File Type" (0 to 5), `max_files` the number of
    // files to keep (0 keeps all). Opens the first file when enabled.
    CDebugFile(std::string folder_prefix, uint32_t interval, bool enabled, uint32_t max_files);
    virtual ~CDebugFile();
    CDebugFile(const CDebugFile&) = delete;
    CDebugFile& operator=(const CDebugFile&) = delete;

    // A log that is never enabled and opens no file; what the line builders hand out when no
    // log is started, so that chained appends do nothing.
    static const std::shared_ptr<CDebugFile>& Inert();

    // On: opens the file and writes "Logging turned on". Off: writes "Logging turned off" and
    // closes the file.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_.load(); }
    // The Windows path of the file opened last ("" before the first).
    std::string GetCurrentPath() const;
    // The Windows path of the file of the current interval.
    std::string MakeFileName() const;

    // Take effect at the next opening.
    void SetInterval(uint32_t interval);
    void SetMaxFiles(uint32_t max_files);
    // The most bytes the log's files may hold together (0: no bound): the oldest files go
    // first, and when the file being written holds that much by itself, its lines are dropped
    // until the next file. Takes effect at once.
    void SetMaxFolderBytes(uint64_t max_bytes);
    // Stores the prefix and reopens: the same folder reopens the same file (without a banner).
    void SetFolder(std::string folder_prefix);

    // Composition of a line by the calling thread; all of it does nothing on a disabled log.
    CDebugFile& BeginLine(EDebugChannelType channel, int32_t line, int32_t call_id,
                          LineMode mode = kPlainLine);
    CDebugFile& Append(uint8_t value);
    CDebugFile& Append(uint16_t value);
    // 32-bit values print as signed numbers, so unsigned ones from 2147483648 up print negative.
    CDebugFile& Append(int32_t value);
    CDebugFile& Append(uint32_t value);
    CDebugFile& AppendInt64(int64_t value);
    CDebugFile& Append(std::string_view text);
    // Appends the printf-style text as one value.
    CDebugFile& AppendFormatted(const char* format, va_list args);
    CDebugFile& EndLine(DebugEndLine = kDebugEndLine);

    // The exit line of a traced function: lowers the calling thread's depth (not below 1,
    // whether the log is enabled or not), then writes "<---  Name returns result".
    void WriteExitLine(EDebugChannelType channel, int32_t line, int32_t call_id,
                       std::string_view name, std::string_view result);

    // From now on ended lines are queued for the writer thread, which waits for them with
    // AwaitQueuedLines and writes them with WriteQueuedLines.
    void EnableAsync();
    // Writes what is queued and goes back to writing on the calling threads; the writer's wait
    // returns false from now on.
    void DisableAsync();
    // The writer thread's wait: up to a short batch window after a batch (`busy`), else until
    // a line comes or a second has passed. False once queueing is disabled.
    bool AwaitQueuedLines(bool busy);
    // The writer thread's turn: writes what is queued and the summaries of strangers' refused
    // lines that are due, and opens the next file when due. False when nothing was queued; the
    // next line, or the next second, wakes the writer then.
    bool WriteQueuedLines();
    // The most bytes a thread's queue holds before the thread waits for the writer (for a
    // while only; no line is ever dropped).
    void SetQueueBound(size_t bytes);

    // A connection of a stranger at `address` ended: writes the summary of the refused lines
    // of its address's network when one is due (see PeerLogLedger).
    void EndPeerConnection(const std::string& address);

    // Per-thread records alive in the process; for tests.
    static size_t LiveThreadRecords();

private:
    // Hands the pending line on, within the limit of the peer the calling thread works for.
    void PassOn(TThreadStruct& record);
    // Queues the summaries of strangers' refused lines, as the node's own lines, keeping the
    // calling thread's pending line.
    void QueuePeerSummaries(TThreadStruct& record, const std::vector<std::string>& summaries);
    // Writes summaries of strangers' refused lines straight into the file, as the log's own.
    void WritePeerSummariesLocked(const std::vector<std::string>& summaries);
    void Queue(TThreadStruct& record);
    bool WriteQueuedLocked();
    void WriteNowLocked(std::string_view file_bytes);
    void RotateIfDueLocked();
    void OpenFile();
    void CloseFile();
    void WriteLogLine(const char* text);
    // Every write to the file goes here, within the folder's bound.
    void WriteBoundedLocked(std::string_view bytes);
    // Writes `bytes` and counts them in the folder's bytes; bytes that cannot be written are
    // counted as lost lines instead. Lines lost before are first told by a line of their own.
    void WriteCountedLocked(std::string_view bytes);
    // The lines of `bytes` are lost to `error`; told to the operator, once an hour at most.
    void LoseLinesLocked(std::string_view bytes, int error);
    DebugTrimRules TrimRules(uint32_t max_files) const;

    // What the line that says the folder is full needs.
    static constexpr uint64_t kFullNoteReserve = 256;
    TThreadStruct& GetThreadStruct();

    const uint64_t serial_;
    std::atomic<bool> enabled_{false};
    DebugLineQueues queues_;
    // What strangers may still write; guarded by its own lock.
    PeerLogLedger peer_ledger_;

    mutable platform::CriticalSection lock_;  // the log lock
    // Everything below is guarded by the log lock.
    platform::AppendOnlyFile file_;
    std::string batch_;  // the queued lines being written, kept for its memory
    uint32_t interval_;
    uint32_t max_files_;
    uint64_t max_bytes_ = 0;
    // The bytes of the log's files, as of the last listing plus what was written since.
    uint64_t folder_bytes_ = 0;
    // Set when the current file filled the folder's bound: nothing more is written to it.
    bool full_ = false;
    // The lines that could not be written since lines were last written, why, and when the
    // operator was last told.
    LostLines lost_;
    // Why the current file could not be opened; 0 when it is open.
    int open_error_ = 0;
    // How long files count as the present (the length of an interval) for the trim.
    std::chrono::seconds recent_{0};
    std::string folder_prefix_;
    std::string current_path_;
    int64_t next_boundary_ = 0;
    int32_t utc_offset_at_opening_ = 0;
};

}  // namespace ruzd::foundation
