#include "foundation/zip_name.h"

#include <algorithm>

#include "platform/text.h"

namespace ruzd::foundation {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<uint8_t>(c) & 0xC0) == 0x80;
}

}  // namespace

std::optional<std::string> StrictCp1252(std::string_view text) {
    if (platform::FirstIllFormedUtf8(text) != std::string_view::npos) {
        return std::nullopt;
    }
    std::string bytes = platform::Utf8ToCp1252(text);
    if (platform::Cp1252ToUtf8(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<StoredZipName> StoredZipNameOf(std::string_view text) {
    if (platform::FirstIllFormedUtf8(text) != std::string_view::npos) {
        return std::nullopt;
    }
    const bool ascii =
        std::none_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
    return StoredZipName{std::string(text), !ascii};
}

bool ZipNameIsUtf8(std::string_view bytes, uint16_t flags) {
    return (flags & kZipFlagUtf8Name) != 0 &&
           platform::FirstIllFormedUtf8(bytes) == std::string_view::npos;
}

std::string ZipNameText(std::string_view bytes, uint16_t flags) {
    return ZipNameIsUtf8(bytes, flags) ? std::string(bytes) : platform::Cp1252ToUtf8(bytes);
}

std::string_view FirstCharacters(std::string_view text, size_t count) {
    size_t at = 0;
    for (size_t seen = 0; at < text.size(); ++at) {
        if (!IsContinuationByte(text[at]) && seen++ == count) {
            break;
        }
    }
    return text.substr(0, at);
}

size_t CharacterCount(std::string_view text) {
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuationByte(c); }));
}

}  // namespace ruzd::foundation
