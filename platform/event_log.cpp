#include "platform/event_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/bounded_file_lock.h"
#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/error_output.h"
#include "platform/owner_only_file.h"
#include "platform/regular_file.h"
#include "platform/root.h"
#include "platform/syslog_sender.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/write_whole.h"

namespace ruzd::platform {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || c == '%' || c == '\t') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        const int high = HexDigitValue(text[i + 1]);
        const int low = HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string ToHex(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        out += kHex[static_cast<unsigned char>(c) >> 4];
        out += kHex[static_cast<unsigned char>(c) & 0xF];
    }
    return out;
}

bool FromHex(std::string_view text, std::string& out) {
    out.clear();
    if (text.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

// The number of the store's last record, 0 for an empty store.
uint32_t LastRecordNumber(int fd) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size == 0) {
        return 0;
    }
    std::string content(static_cast<size_t>(info.st_size), '\0');
    size_t got = 0;
    while (got < content.size()) {
        const ssize_t n =
            ::pread(fd, content.data() + got, content.size() - got, static_cast<off_t>(got));
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    content.resize(got);
    while (!content.empty() && content.back() == '\n') {
        content.pop_back();
    }
    const size_t line_start = content.find_last_of('\n');
    const std::string_view last =
        std::string_view(content).substr(line_start == std::string::npos ? 0 : line_start + 1);
    uint32_t number = 0;
    ParseNumber(last.substr(0, last.find('\t')), number);
    return number;
}

// A store this process cannot use is named on the error output, once an hour at most for each
// store: every report of a program that reports often would say it again otherwise.
constexpr uint64_t kStoreProblemIntervalMs = 3600 * 1000;

struct StoreProblemsSaid {
    std::mutex lock;
    std::map<std::string, uint64_t> said_at_ms;  // by store
};

void SayStoreProblem(const std::filesystem::path& store, const std::string& problem) {
    // Never destroyed: a thread may still report while the process exits.
    static auto* said = new StoreProblemsSaid;
    const uint64_t now = CurrentClock().TickMs();
    {
        std::lock_guard<std::mutex> guard(said->lock);
        const auto [entry, first] = said->said_at_ms.try_emplace(store.string(), now);
        if (!first && now - entry->second < kStoreProblemIntervalMs) {
            return;
        }
        entry->second = now;
    }
    WriteErrorLine("Event log " + store.string() + " " + problem +
                   ": its events go to syslog only");
}

SyslogSeverity SeverityOf(uint16_t type) {
    return type == kEventTypeError     ? SyslogSeverity::kError
           : type == kEventTypeWarning ? SyslogSeverity::kWarning
                                       : SyslogSeverity::kInformation;
}

}  // namespace

std::filesystem::path EventLogStorePath(std::string_view log) {
    return RootSubdir("eventlog") / (std::string(log) + ".events");
}

std::filesystem::path EventLogLockPath(const std::filesystem::path& store) {
    return store.string() + ".lock";
}

std::string EventRecordLine(const EventRecord& record) {
    std::ostringstream line;
    line << record.record_number << '\t' << record.time_generated << '\t' << record.time_written
         << '\t' << Escape(record.source) << '\t' << Escape(record.computer) << '\t'
         << record.event_id << '\t' << record.type << '\t' << record.category << '\t'
         << ToHex(record.user_sid) << '\t' << record.strings.size();
    for (const std::string& text : record.strings) {
        line << '\t' << Escape(text);
    }
    line << '\t' << ToHex(record.data);
    return line.str();
}

bool ParseEventRecordLine(std::string_view line, EventRecord& record) {
    const std::vector<std::string_view> fields = SplitTabs(line);
    size_t count = 0;
    if (fields.size() < 11 || !ParseNumber(fields[9], count) || fields.size() != 11 + count) {
        return false;
    }
    record.strings.assign(count, std::string());
    for (size_t i = 0; i < count; ++i) {
        if (!Unescape(fields[10 + i], record.strings[i])) {
            return false;
        }
    }
    return ParseNumber(fields[0], record.record_number) &&
           ParseNumber(fields[1], record.time_generated) &&
           ParseNumber(fields[2], record.time_written) && Unescape(fields[3], record.source) &&
           Unescape(fields[4], record.computer) && ParseNumber(fields[5], record.event_id) &&
           ParseNumber(fields[6], record.type) && ParseNumber(fields[7], record.category) &&
           FromHex(fields[8], record.user_sid) && FromHex(fields[10 + count], record.data);
}

EventLogWriter::~EventLogWriter() {
    Close();
}

uint32_t EventLogWriter::Open(std::string_view source, std::string_view log) {
    Close();
    opened_ = true;
    source_ = std::string(source);
    path_ = EventLogStorePath(log);
    // Only a regular file: a FIFO would take records until its 64 KiB are full and then hold
    // the write, under the store's lock and whatever lock the reporter holds (the debug log's,
    // for its alert), for as long as nobody reads it.
    fd_ = OpenRegularFile(path_, O_RDWR | O_APPEND | O_CREAT, 0644);
    if (fd_ < 0) {
        const int error = errno;
        SayStoreProblem(path_, "cannot be opened (" + OpenErrorText(error) + ")");
        store_error_ = WinErrorFromErrno(error);
        return store_error_;
    }
    lock_fd_ = OpenOwnerLockFile(EventLogLockPath(path_));
    if (lock_fd_ < 0) {
        const int error = errno;
        SayStoreProblem(
            path_, "cannot be written: " + OwnerLockFileProblem(EventLogLockPath(path_), error));
        ::close(fd_);
        fd_ = -1;
        store_error_ = WinErrorFromErrno(error);
        return store_error_;
    }
    store_error_ = kErrorSuccess;
    return kErrorSuccess;
}

uint32_t EventLogWriter::Report(uint16_t type, uint16_t category, uint32_t event_id,
                                const std::vector<std::string>& strings, std::string_view data,
                                std::string_view user_sid) {
    if (!opened_) {
        return kErrorInvalidHandle;
    }
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(CurrentClock().Now().time_since_epoch())
            .count();
    EventRecord record;
    record.time_generated = now;
    record.time_written = now;
    record.source = source_;
    record.computer = ComputerName().value_or("");
    record.event_id = event_id;
    record.type = type;
    record.category = category;
    record.user_sid = std::string(user_sid);
    record.strings = strings;
    record.data = std::string(data);

    // The tag is the program's one word; a source of another name (a service's display name)
    // leads the text.
    const std::string ident = ProgramSyslogIdent();
    std::string text = source_ == ident ? std::string() : source_ + ": ";
    text += "event " + std::to_string(event_id & 0xFFFF);
    for (const std::string& insert : strings) {
        text += ": " + insert;
    }
    SendToSyslog(SeverityOf(type), ident, text);
    if (fd_ < 0) {
        return store_error_;
    }

    // A writer of this account that hangs costs a report a bounded wait, never the program.
    if (!LockFileWithin(lock_fd_, LOCK_EX, kFileLockWaitMs)) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            WriteErrorLine(path_.string() + ": held locked by another process; the event is lost");
            return kErrorLockViolation;
        }
        return WinErrorFromErrno(error);
    }
    record.record_number = LastRecordNumber(fd_) + 1;
    const std::string line = EventRecordLine(record) + "\n";
    // A record written in part is taken back while the lock is still held, so that the next
    // report starts a line of its own instead of running on into this one's remains.
    const int error = AppendWholeOrNothing(fd_, line.data(), line.size());
    ::flock(lock_fd_, LOCK_UN);
    return WinErrorFromErrno(error);
}

void EventLogWriter::Close() {
    for (int* fd : {&fd_, &lock_fd_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    opened_ = false;
    store_error_ = kErrorSuccess;
}

uint32_t EventLogReader::Open(std::string_view log) {
    return OpenFile(EventLogStorePath(log));
}

uint32_t EventLogReader::OpenFile(const std::filesystem::path& path) {
    records_.clear();
    next_ = 0;
    before_ = 0;
    std::string content;
    if (const int error = ReadRegularFile(path, content); error != 0) {
        return WinErrorFromErrno(error);
    }
    std::string_view rest = content;
    // A last line without its line end is a record still being written.
    for (size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
        EventRecord record;
        if (ParseEventRecordLine(rest.substr(0, end), record)) {
            records_.push_back(std::move(record));
        }
        rest.remove_prefix(end + 1);
    }
    before_ = records_.size();
    return kErrorSuccess;
}

uint32_t EventLogReader::OldestRecord() const {
    return records_.empty() ? 0 : records_.front().record_number;
}

bool EventLogReader::ReadNext(EventRecord& record) {
    if (next_ >= records_.size()) {
        return false;
    }
    record = records_[next_++];
    return true;
}

bool EventLogReader::ReadPrevious(EventRecord& record) {
    if (before_ == 0) {
        return false;
    }
    record = records_[--before_];
    return true;
}

}  // namespace ruzd::platform
