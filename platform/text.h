#pragma once

// Text conversions. Inside the programs all text is UTF-8 in std::string; the "ANSI code page"
// that frames, the text protocol and the debug files carry is Windows-1252, and the registry
// keeps strings as UTF-16LE as Windows does.

#include <cstdarg>
#include <string>
#include <string_view>

namespace ruzd::platform {

// Windows-1252 bytes to UTF-8. Every byte maps to one character; the five bytes Windows leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same number.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252. A character with no byte in the code page, and every ill-formed
// UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1252(std::string_view text);

// Where the first ill-formed UTF-8 sequence starts; npos for well-formed text.
size_t FirstIllFormedUtf8(std::string_view text);
// The length of the well-formed UTF-8 sequence that starts at text[at]; 0 when the text ends
// inside what may still become one; npos when none starts there.
size_t Utf8SequenceLength(std::string_view text, size_t at);

// UTF-8 to UTF-16 and back. Ill-formed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to code points, ill-formed input as U+FFFD; and one code point onto the end of a UTF-8
// text (one that is no character, a surrogate or beyond U+10FFFF, is the caller's to refuse).
std::u32string Utf8ToCodePoints(std::string_view text);
void AppendUtf8(std::string& out, char32_t code_point);

// The value of a hexadecimal digit ('0'-'9', 'a'-'f', 'A'-'F'); -1 for any other character.
int HexDigitValue(char32_t c);

// UTF-16LE as raw bytes (two a code unit), as the registry stores strings.
std::string Utf8ToUtf16leBytes(std::string_view text);
// An odd trailing byte is ignored.
std::string Utf16leBytesToUtf8(std::string_view bytes);

// The text without the given characters at its start and end.
std::string_view Trim(std::string_view text, std::string_view characters = " \t\r\n");

// ASCII-only case folding: bytes outside 'A'..'Z' / 'a'..'z' are left alone.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
// Formats onto the end of `out`, in place.
void AppendFormatV(std::string& out, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

}  // namespace ruzd::platform
