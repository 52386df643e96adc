#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace ruzd::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of the bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char32_t Cp1252ToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

int CodePointToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

// Decodes one code point at text[pos], advancing pos; ill-formed input yields U+FFFD and
// consumes one byte, so decoding always makes progress.
char32_t DecodeUtf8(std::string_view text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        return kReplacement;
    }
    size_t p = pos;
    for (int i = 0; i < extra; ++i, ++p) {
        if (p >= text.size() || (static_cast<unsigned char>(text[p]) & 0xC0) != 0x80) {
            return kReplacement;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(text[p]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return kReplacement;
    }
    pos = p;
    return cp;
}

char AsciiUpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char AsciiLowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The bytes a UTF-8 sequence that starts with `lead` takes, and the range its second byte must
// lie in (the later ones lie in 80-BF), as the Unicode standard's table of well-formed sequences
// has them; 0 for a byte that starts none.
struct Utf8Lead {
    size_t length;
    uint8_t second_min;
    uint8_t second_max;
};

Utf8Lead LeadOf(uint8_t lead) {
    if (lead < 0x80) {
        return {1, 0, 0};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, 0x80, 0xBF};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {3, lead == 0xE0 ? uint8_t{0xA0} : uint8_t{0x80},
                lead == 0xED ? uint8_t{0x9F} : uint8_t{0xBF}};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {4, lead == 0xF0 ? uint8_t{0x90} : uint8_t{0x80},
                lead == 0xF4 ? uint8_t{0x8F} : uint8_t{0xBF}};
    }
    return {0, 0, 0};
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u32string Utf8ToCodePoints(std::string_view text) {
    std::u32string points;
    points.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        points.push_back(DecodeUtf8(text, pos));
    }
    return points;
}

int HexDigitValue(char32_t c) {
    if (c >= '0' && c <= '9') {
        return static_cast<int>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<int>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<int>(c - 'A' + 10);
    }
    return -1;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const int byte = CodePointToCp1252(DecodeUtf8(text, pos));
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const Utf8Lead lead = LeadOf(static_cast<uint8_t>(text[at]));
    if (lead.length == 0) {
        return std::string_view::npos;
    }
    for (size_t i = 1; i < lead.length; ++i) {
        if (at + i == text.size()) {
            return 0;
        }
        const auto byte = static_cast<uint8_t>(text[at + i]);
        const uint8_t min = i == 1 ? lead.second_min : uint8_t{0x80};
        const uint8_t max = i == 1 ? lead.second_max : uint8_t{0xBF};
        if (byte < min || byte > max) {
            return std::string_view::npos;
        }
    }
    return lead.length;
}

size_t FirstIllFormedUtf8(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = Utf8SequenceLength(text, pos);
        if (length == 0 || length == std::string_view::npos) {
            return pos;
        }
        pos += length;
    }
    return std::string_view::npos;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = DecodeUtf8(text, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Utf8ToUtf16leBytes(std::string_view text) {
    const std::u16string wide = Utf8ToUtf16(text);
    std::string out;
    out.reserve(wide.size() * 2);
    for (char16_t unit : wide) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::string Utf16leBytesToUtf8(std::string_view bytes) {
    std::u16string wide;
    wide.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf16ToUtf8(wide);
}

std::string_view Trim(std::string_view text, std::string_view characters) {
    const size_t first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiUpperChar(c);
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiLowerChar(c);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) {
            return false;
        }
    }
    return true;
}

std::string FormatV(const char* format, va_list args) {
    std::string out;
    AppendFormatV(out, format, args);
    return out;
}

void AppendFormatV(std::string& out, const char* format, va_list args) {
    // Most texts fit in the room the string has or a little more: one pass formats them.
    const size_t start = out.size();
    const size_t room = std::max<size_t>(out.capacity() - start, 128);
    out.resize(start + room);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(out.data() + start, room + 1, format, copy);
    va_end(copy);
    if (needed <= 0) {
        out.resize(start);
        return;
    }
    if (static_cast<size_t>(needed) > room) {
        out.resize(start + static_cast<size_t>(needed));
        std::vsnprintf(out.data() + start, static_cast<size_t>(needed) + 1, format, args);
    }
    out.resize(start + static_cast<size_t>(needed));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

}  // namespace ruzd::platform
