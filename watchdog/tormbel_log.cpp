#include "watchdog/tormbel_log.h"

#include <cstdarg>
#include <filesystem>
#include <mutex>
#include <vector>

#include "foundation/lost_lines.h"
#include "foundation/system_time.h"
#include "platform/append_only_file.h"
#include "platform/error_output.h"
#include "platform/regular_file.h"
#include "platform/syslog_sender.h"
#include "platform/text.h"

namespace ruzd::watchdog {
namespace {

// The file is written as text mode writes it, every line feed going out as CR LF, so that a text
// of several lines (a command's output) reads as lines in every editor. A line feed that already
// has its carriage return keeps just that one: text mode would make it CR CR LF, which readers
// show as a stray mark or an empty line.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\n' && (at == 0 || text[at - 1] != '\r')) {
            out += '\r';
        }
        out += text[at];
    }
    return out;
}

// The text in Windows-1252, the one encoding of the whole file: its own lines and what the
// programs it runs wrote alike. A character the code page has no byte for is a '?', and so are
// the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), which readers of
// Windows-1252 refuse.
std::string InCodePage(std::string_view text) {
    std::string bytes = platform::Utf8ToCp1252(text);
    for (char& byte : bytes) {
        switch (static_cast<unsigned char>(byte)) {
            case 0x81:
            case 0x8D:
            case 0x8F:
            case 0x90:
            case 0x9D:
                byte = '?';
                break;
            default:
                break;
        }
    }
    return bytes;
}

// The log's lines are what fails, so the operator hears of it where else he looks: on the
// error output and in syslog, once an hour at most while it lasts.
void LoseLine(foundation::LostLines& lost, std::string_view line, int error, bool opened) {
    if (!lost.Lose(line, error, platform::CurrentClock().TickMs())) {
        return;
    }
    std::error_code unknown;
    const std::string alert = foundation::LostLinesAlert(
        std::filesystem::absolute(kLogFileName, unknown).string(), error, opened);
    platform::WriteErrorLine(alert);
    platform::SendToSyslog(platform::SyslogSeverity::kError, platform::ProgramSyslogIdent(), alert);
}

}  // namespace

std::string LogLine(platform::WallTime time, std::string_view text) {
    const int64_t micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    const foundation::SystemTime t = foundation::BreakDownMicros(micros);
    return platform::Format("%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.year, t.month, t.day, t.hour,
                            t.minute, t.second, t.milliseconds) +
           WithCrLf(InCodePage(text)) + "\r\n";
}

void WriteLog(std::string_view text) {
    static std::mutex lock;
    static foundation::LostLines lost;
    std::lock_guard guard(lock);
    const platform::WallTime now = platform::CurrentClock().Now();
    const std::string line = LogLine(now, text);
    platform::AppendOnlyFile file;
    // A FIFO in the log's place is refused (waiting for its reader would stop the heartbeat
    // and the countdown), and so is any other file that is not a regular one.
    if (!file.Open(kLogFileName)) {
        LoseLine(lost, line, file.open_error(), false);
        return;
    }
    if (lost.any()) {
        if (const int error = file.WriteAll(LogLine(now, lost.Note("lines of this log")));
            error != 0) {
            LoseLine(lost, line, error, true);
            return;
        }
        lost.Told();
    }
    if (const int error = file.WriteAll(line); error != 0) {
        LoseLine(lost, line, error, true);
    }
}

void WriteLogFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = platform::FormatV(format, args);
    va_end(args);
    WriteLog(text);
}

std::string CommandLineText(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) {
            text += ' ';
        }
        const bool quote = word.empty() || word.find(' ') != std::string::npos;
        text += quote ? "\"" + word + "\"" : word;
    }
    return text;
}

}  // namespace ruzd::watchdog
