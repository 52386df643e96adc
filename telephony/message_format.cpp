#include "telephony/message_format.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace ruzd::telephony {
namespace {

constexpr int kMaxInsert = 99;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads an insert number (one or two digits, 1 to 99) at text; advances past it.
int ReadInsertNumber(const char*& text) {
    int number = *text++ - '0';
    if (IsDigit(*text))
        number = number * 10 + (*text++ - '0');
    return number;
}

template <typename... Value>
std::string Printf(const std::string& format, Value... value) {
    const int size = std::snprintf(nullptr, 0, format.c_str(), value...);
    if (size <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), value...);
    return std::string(buffer.data(), static_cast<size_t>(size));
}

// One insert: the printf conversion spec (without '%') applied to one argument word. The
// Windows length prefixes are read the Windows way: l and h are 32 bits, I64 and ll 64.
std::string FormatInsert(std::string_view spec, uint64_t value) {
    if (spec.empty() || spec.find('*') != std::string_view::npos)
        return std::string();
    const char conversion = spec.back();
    std::string flags;  // flags, width and precision, without length prefixes
    bool wide = false;
    for (size_t i = 0; i + 1 < spec.size(); ++i) {
        const char c = spec[i];
        if (spec.substr(i, 3) == "I64") {
            wide = true;
            i += 2;
        } else if (spec.substr(i, 3) == "I32") {
            i += 2;
        } else if (c == 'l' && i + 1 < spec.size() && spec[i + 1] == 'l') {
            wide = true;
            ++i;
        } else if (c == 'l' || c == 'h' || c == 'w' || c == 'I') {
            continue;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' ||
                   c == ' ' || c == '#' || c == '.') {
            flags += c;
        } else {
            return std::string();
        }
    }
    const std::string base = "%" + flags;
    switch (conversion) {
        case 's': {
            const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(value));
            return Printf(base + "s", text != nullptr ? text : "(null)");
        }
        case 'c':
            return Printf(base + "c", static_cast<int>(static_cast<unsigned char>(value)));
        case 'd':
        case 'i':
            return wide ? Printf(base + "lld", static_cast<long long>(value))
                        : Printf(base + "d", static_cast<int32_t>(value));
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            return wide ? Printf(base + "ll" + conversion, static_cast<unsigned long long>(value))
                        : Printf(base + conversion, static_cast<uint32_t>(value));
        case 'p':
            return Printf(base + "p", reinterpret_cast<void*>(static_cast<uintptr_t>(value)));
        default:
            return std::string();
    }
}

// The highest insert number the format refers to.
int HighestInsert(const char* format) {
    int highest = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%' || p[1] == '\0')
            continue;
        ++p;
        if (*p == '0')
            break;
        if (IsDigit(*p)) {
            const int number = ReadInsertNumber(p);
            highest = number > highest ? number : highest;
            --p;
        }
    }
    return highest > kMaxInsert ? kMaxInsert : highest;
}

}  // namespace

std::string FormatMessageText(const char* format, va_list args) {
    std::string out;
    if (format == nullptr)
        return out;

    const int highest = HighestInsert(format);
    std::vector<uint64_t> values(static_cast<size_t>(highest) + 1, 0);
    va_list copy;
    va_copy(copy, args);
    for (int i = 1; i <= highest; ++i)
        values[static_cast<size_t>(i)] = va_arg(copy, uint64_t);
    va_end(copy);

    for (const char* p = format; *p != '\0';) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        ++p;
        if (*p == '\0' || *p == '0')
            break;
        if (IsDigit(*p)) {
            const int number = ReadInsertNumber(p);
            std::string_view spec = "s";
            if (*p == '!') {
                const char* end = p + 1;
                while (*end != '\0' && *end != '!')
                    ++end;
                if (*end == '!') {
                    spec = std::string_view(p + 1, static_cast<size_t>(end - p - 1));
                    p = end + 1;
                }
            }
            out += FormatInsert(spec, values[static_cast<size_t>(number)]);
            continue;
        }
        switch (*p) {
            case 'n':
                out += "\r\n";
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            default:  // %space, %., %!, %% and any other character stand for themselves
                out += *p;
                break;
        }
        ++p;
    }
    return out;
}

}  // namespace ruzd::telephony
