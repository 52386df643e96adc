#pragma once

// Entry names as archives store them. Without general-purpose flag bit 11 a name is in the
// code page of the system that wrote it (Windows-1252 here); with it, in UTF-8. The writer
// keeps ASCII names as they are and writes every other name in UTF-8 with the flag, which every
// tool reads the same way; the reader takes the flag's word for it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::foundation {

inline constexpr uint16_t kZipFlagUtf8Name = 0x800;

// The Windows-1252 bytes of a UTF-8 text, or none when the text is not well-formed UTF-8 or has
// a character the code page lacks (where a plain conversion would put '?').
std::optional<std::string> StrictCp1252(std::string_view text);

struct StoredZipName {
    std::string bytes;
    bool utf8 = false;  // the entry needs the UTF-8 flag
};

// How the writer stores a UTF-8 name; none when the text is not well-formed UTF-8.
std::optional<StoredZipName> StoredZipNameOf(std::string_view text);

// Whether stored name bytes read as UTF-8: the entry's flags say so and the bytes are
// well-formed (a name that is not is read in Windows-1252, as names without the flag are).
bool ZipNameIsUtf8(std::string_view bytes, uint16_t flags);

// The stored name as UTF-8 text.
std::string ZipNameText(std::string_view bytes, uint16_t flags);

// The first `count` characters of a UTF-8 text (all of it when it has no more).
std::string_view FirstCharacters(std::string_view text, size_t count);

// The number of characters of a UTF-8 text.
size_t CharacterCount(std::string_view text);

}  // namespace ruzd::foundation
