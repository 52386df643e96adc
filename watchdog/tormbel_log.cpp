#include "watchdog/tormbel_log.h"

#include <cstdarg>
#include <mutex>
#include <vector>

#include "foundation/system_time.h"
#include "platform/append_only_file.h"
#include "platform/error_output.h"
#include "platform/regular_file.h"
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
    static bool refusal_told = false;
    std::lock_guard guard(lock);
    const std::string line = LogLine(platform::CurrentClock().Now(), text);
    platform::AppendOnlyFile file;
    if (file.Open(kLogFileName)) {
        file.WriteAll(line);
        return;
    }
    // A FIFO in the log's place is refused (waiting for its reader would stop the heartbeat
    // and the countdown); the operator hears once why the log stays empty.
    if (!refusal_told) {
        refusal_told = true;
        platform::WriteErrorLine(std::string(kLogFileName) + ": " +
                                 platform::OpenErrorText(file.open_error()) +
                                 ", its lines are lost");
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
