// CStaticTools: formatting of numbers and messages.

#include <charconv>
#include <cstdarg>

#include "foundation/resource_strings.h"
#include "foundation/static_tools.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::foundation {
namespace {

// "%.<precision>g" as the C locale writes it, whatever locale the process runs in.
std::string GeneralFormat(double value, int precision) {
    char text[64];
    const std::to_chars_result written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
    return std::string(text, written.ptr);
}

bool ReadsBackAs(const std::string& text, double value) {
    double read = 0.0;
    const std::from_chars_result parsed =
        std::from_chars(text.data(), text.data() + text.size(), read);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && read == value;
}

// An empty point would swallow the one there is.
void UseDecimalPoint(std::string& text, const std::string& point) {
    if (const size_t dot = text.find('.'); dot != std::string::npos && !point.empty()) {
        text.replace(dot, 1, point);
    }
}

}  // namespace

std::string CStaticTools::FormatInt(int32_t value) {
    return platform::Format("%d", value);
}

std::string CStaticTools::FormatLong(int32_t value) {
    return FormatInt(value);
}

std::string CStaticTools::FormatDouble(double value, bool localeDecimalPoint) {
    std::string text = GeneralFormat(value, 15);
    if (localeDecimalPoint) {
        UseDecimalPoint(text, LocaleDecimalPoint());
    }
    return text;
}

std::string CStaticTools::FormatDoubleRoundTrip(double value, bool localeDecimalPoint) {
    int precision = 15;
    while (precision < 18 && !ReadsBackAs(GeneralFormat(value, precision), value)) {
        ++precision;
    }
    std::string text = GeneralFormat(value, precision);
    if (localeDecimalPoint) {
        UseDecimalPoint(text, LocaleDecimalPoint());
    }
    return text;
}

std::string CStaticTools::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = platform::FormatV(format, args);
    va_end(args);
    return text;
}

std::string CStaticTools::FormatResource(uint32_t id, ...) {
    const std::optional<std::string> format = ResourceStrings::Find(id);
    if (!format) {
        return "";
    }
    va_list args;
    va_start(args, id);
    std::string text = platform::FormatV(format->c_str(), args);
    va_end(args);
    return text;
}

std::string CStaticTools::FormatSystemMessage(uint32_t code) {
    return platform::KnownWinErrorText(code).value_or("");
}

}  // namespace ruzd::foundation
