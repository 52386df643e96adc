#include "foundation/debug_line_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "foundation/system_time.h"
#include "foundation/time_tools.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

// Writes `value` as exactly `width` decimal digits; the caller knows it fits.
char* PutDigits(char* at, uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

// "hh:mm:ss" of the second the calling thread stamped last, so that only the first line of a
// second breaks the time down.
struct StampedSecond {
    int64_t second = std::numeric_limits<int64_t>::min();
    char text[8] = {};
};

// "%02u:%02u:%02u.%03u" of the time now.
char* PutTimeOfDay(char* at) {
    thread_local StampedSecond last;
    const auto now = TimeTools::GetUtcNow().time_since_epoch();
    const int64_t second = std::chrono::floor<std::chrono::seconds>(now).count();
    const int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    if (second != last.second) {
        const SystemTime t = BreakDownMicros(second * 1000000);
        PutDigits(last.text, t.hour, 2);
        last.text[2] = ':';
        PutDigits(last.text + 3, t.minute, 2);
        last.text[5] = ':';
        PutDigits(last.text + 6, t.second, 2);
        last.second = second;
    }
    at = std::copy_n(last.text, sizeof(last.text), at);
    *at++ = '.';
    return PutDigits(at, static_cast<uint32_t>((micros - second * 1000000) / 1000), 3);
}

bool IsAscii(std::string_view text) {
    // Eight bytes at a time: most lines are plain ASCII and all of each is looked at.
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof(word));
        if ((word & 0x8080808080808080ull) != 0)
            return false;
    }
    for (; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

void AppendDebugLineHeader(std::string& out, EDebugChannelType channel, int32_t line,
                           int32_t call_id, CDebugFile::LineMode mode, int depth) {
    static constexpr char kLowerHex[] = "0123456789abcdef";
    static constexpr char kUpperHex[] = "0123456789ABCDEF";
    char buffer[96];
    char* at = PutTimeOfDay(buffer);
    // ":%03x" with the thread id's last three digits
    const uint32_t thread = platform::CurrentThreadId();
    *at++ = ':';
    *at++ = kLowerHex[(thread >> 8) & 0xF];
    *at++ = kLowerHex[(thread >> 4) & 0xF];
    *at++ = kLowerHex[thread & 0xF];
    // ":%09d:" with the call id's last nine digits
    const int32_t call_digits = call_id % 1000000000;
    if (call_id == kDebugNone) {
        at = std::copy_n(":---------:", 11, at);
    } else if (call_digits >= 0) {
        *at++ = ':';
        at = PutDigits(at, static_cast<uint32_t>(call_digits), 9);
        *at++ = ':';
    } else {
        at += std::snprintf(at, static_cast<size_t>(buffer + sizeof(buffer) - at),
                            ":%09d:", call_digits);
    }
    for (const char* code = DebugChannelCode(channel); *code != '\0'; ++code)
        *at++ = *code;
    // "%04d " below 10000, else "+%03d " with the last three digits
    if (line == kDebugNone) {
        at = std::copy_n("     ", 5, at);
    } else if (line >= 10000) {
        *at++ = '+';
        at = PutDigits(at, static_cast<uint32_t>(line % 1000), 3);
        *at++ = ' ';
    } else if (line >= 0) {
        at = PutDigits(at, static_cast<uint32_t>(line), 4);
        *at++ = ' ';
    } else {
        at += std::snprintf(at, static_cast<size_t>(buffer + sizeof(buffer) - at), "%04d ", line);
    }
    // "%X " (the depth is at least 1)
    *at++ = kUpperHex[depth >= 16 ? 15 : depth & 0xF];
    *at++ = ' ';
    out.append(buffer, static_cast<size_t>(at - buffer));
    if (mode != CDebugFile::kExitLine) {
        out.append(2 * static_cast<size_t>(depth), '-');
        out += mode == CDebugFile::kEntryLine ? "> " : "- ";
    }
}

void ToDebugFileBytes(std::string& line) {
    if (!IsAscii(line))
        line = platform::Utf8ToCp1252(line);
    line += "\r\n";
}

}  // namespace ruzd::foundation
