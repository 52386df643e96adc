#pragma once

// What a child writes arrives as raw bytes in chunks. Console programs write either bytes - UTF-8,
// as the programs of this system do, or the ANSI code page (Windows-1252), as a program made for
// Windows may - or UTF-16LE; the first chunk decides between bytes and UTF-16 for the whole run,
// and every chunk becomes UTF-8 text. In bytes, each well-formed UTF-8 sequence is that character
// and any other byte is read as Windows-1252, so neither kind of program comes out garbled.

#include <string>
#include <string_view>

namespace ruzd::foundation {

// Whether the bytes look like UTF-16LE text: a byte-order mark FF FE, or text in which at least
// half of the code units have a zero high byte (the odd positions) and zero high bytes outnumber
// zero low bytes, as Latin text in UTF-16LE does. Fewer than two bytes never look like UTF-16.
bool LooksLikeUtf16Text(std::string_view bytes);

class CapturedOutputDecoder {
public:
    // Converts one chunk and appends it to `out`. The first chunk fixes the encoding. A character
    // split between chunks (the start of a UTF-8 sequence; an odd byte or the first half of a
    // surrogate pair in UTF-16) is kept back and joined with the next chunk; a UTF-16 byte-order
    // mark at the very start is dropped.
    void Append(std::string_view chunk, std::string& out);

    // Whatever was kept back and can never be completed: the start of a UTF-8 sequence is read
    // as Windows-1252 bytes, a lone first half of a surrogate pair becomes U+FFFD, a lone UTF-16
    // byte is dropped.
    void Finish(std::string& out);

    bool decided() const { return encoding_ != Encoding::kUndecided; }
    bool is_utf16() const { return encoding_ == Encoding::kUtf16; }

private:
    enum class Encoding { kUndecided, kBytes, kUtf16 };

    void AppendBytes(std::string_view chunk, std::string& out);
    void AppendUtf16(std::string_view chunk, std::string& out);

    Encoding encoding_ = Encoding::kUndecided;
    std::string pending_;  // bytes held back from the previous chunk
};

}  // namespace ruzd::foundation
