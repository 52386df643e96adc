#include "watchdog/tormbel_log.h"

#include <cstdarg>
#include <mutex>
#include <vector>

#include "foundation/system_time.h"
#include "platform/append_only_file.h"
#include "platform/text.h"

namespace ruzd::watchdog {

std::string LogLine(platform::WallTime time, std::string_view text) {
    const int64_t micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    const foundation::SystemTime t = foundation::BreakDownMicros(micros);
    return platform::Format("%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.year, t.month, t.day, t.hour,
                            t.minute, t.second, t.milliseconds) +
           platform::Utf8ToCp1252(text) + "\r\n";
}

void WriteLog(std::string_view text) {
    static std::mutex lock;
    std::lock_guard guard(lock);
    const std::string line = LogLine(platform::CurrentClock().Now(), text);
    platform::AppendOnlyFile file;
    if (file.Open(kLogFileName)) {
        file.WriteAll(line);
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
