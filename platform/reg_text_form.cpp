#include "platform/reg_text_form.h"

#include <algorithm>

#include "platform/text.h"

namespace ruzd::platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16leBom = "\xFF\xFE";
constexpr std::string_view kUtf16beBom = "\xFE\xFF";
constexpr size_t kMaxShownBytes = 60;

// The number (from 1) and the text of the line that holds text[offset]; an offset at the end
// belongs to the last line.
template <typename Char>
std::pair<size_t, std::basic_string_view<Char>> LineAround(std::basic_string_view<Char> text,
                                                           size_t offset) {
    const auto newline = static_cast<Char>('\n');
    const size_t number =
        1 + static_cast<size_t>(std::count(text.begin(), text.begin() + offset, newline));
    const size_t before = text.substr(0, offset).rfind(newline);
    const size_t start = before == std::basic_string_view<Char>::npos ? 0 : before + 1;
    const size_t end = text.find(newline, offset);
    return {number, text.substr(start, end == std::basic_string_view<Char>::npos
                                           ? std::basic_string_view<Char>::npos
                                           : end - start)};
}

std::string LineError(size_t number, std::string_view line, const char* reason) {
    return Format("line %zu: %s: %s", number, reason, ShownRegLine(line).c_str());
}

bool DecodeUtf8(std::string_view bytes, std::string* text, std::string* error) {
    const size_t bad = FirstIllFormedUtf8(bytes);
    if (bad != std::string_view::npos) {
        const auto [number, line] = LineAround(bytes, bad);
        *error = LineError(number, line, "not UTF-8 text");
        return false;
    }
    *text = bytes;
    return true;
}

bool DecodeUtf16le(std::string_view bytes, std::string* text, std::string* error) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    size_t bad = std::u16string::npos;
    const char* reason = "";
    for (size_t i = 0; i < units.size() && bad == std::u16string::npos; ++i) {
        const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            bad = i;
            reason = "an unpaired surrogate in UTF-16LE text";
        }
    }
    if (bad == std::u16string::npos && bytes.size() % 2 != 0) {
        bad = units.size();
        reason = "UTF-16LE text ends in half a character";
    }
    if (bad != std::u16string::npos) {
        const auto [number, line] = LineAround(std::u16string_view(units), bad);
        *error = LineError(number, Utf16ToUtf8(line), reason);
        return false;
    }
    *text = Utf16ToUtf8(units);
    return true;
}

}  // namespace

bool DecodeRegText(std::string_view bytes, std::string* text, RegTextForm* form,
                   std::string* error) {
    std::string reason;
    bool decoded = false;
    if (bytes.starts_with(kUtf16leBom)) {
        form->encoding = RegTextForm::Encoding::kUtf16leWithBom;
        decoded = DecodeUtf16le(bytes.substr(kUtf16leBom.size()), text, &reason);
    } else if (bytes.starts_with(kUtf16beBom)) {
        reason = "line 1: UTF-16 big-endian text, which is not read (save it as UTF-16LE or UTF-8)";
    } else if (bytes.starts_with(kUtf8Bom)) {
        form->encoding = RegTextForm::Encoding::kUtf8WithBom;
        decoded = DecodeUtf8(bytes.substr(kUtf8Bom.size()), text, &reason);
    } else {
        form->encoding = RegTextForm::Encoding::kUtf8;
        decoded = DecodeUtf8(bytes, text, &reason);
    }
    if (!decoded) {
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    }
    const size_t newline = text->find('\n');
    form->crlf = newline != std::string::npos && newline > 0 && (*text)[newline - 1] == '\r';
    return true;
}

std::string EncodeRegText(std::string_view text, const RegTextForm& form) {
    std::string lines;
    if (form.crlf) {
        lines.reserve(text.size() + text.size() / 16);
        for (char c : text) {
            if (c == '\n') {
                lines += '\r';
            }
            lines += c;
        }
    } else {
        lines = text;
    }
    switch (form.encoding) {
        case RegTextForm::Encoding::kUtf8WithBom:
            return std::string(kUtf8Bom) + lines;
        case RegTextForm::Encoding::kUtf16leWithBom:
            return std::string(kUtf16leBom) + Utf8ToUtf16leBytes(lines);
        case RegTextForm::Encoding::kUtf8:
            break;
    }
    return lines;
}

std::string ShownRegLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    std::string shown;
    size_t pos = 0;
    while (pos < line.size() && pos < kMaxShownBytes) {
        const auto byte = static_cast<unsigned char>(line[pos]);
        const size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        const std::string_view sequence = line.substr(pos, length);
        const bool wellFormed = byte < 0x80 || (sequence.size() == length &&
                                                FirstIllFormedUtf8(sequence) == std::string::npos);
        if (byte < 0x20 || byte == 0x7F || !wellFormed) {
            shown += Format("\\x%02x", byte);
            ++pos;
        } else {
            shown += sequence;
            pos += length;
        }
    }
    if (pos < line.size()) {
        shown += "...";
    }
    return shown;
}

}  // namespace ruzd::platform
