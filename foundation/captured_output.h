#pragma once

// What a child writes arrives as raw bytes in chunks. Console programs write either the ANSI
// code page (Windows-1252) or UTF-16LE; the first chunk decides which for the whole run, and
// every chunk becomes UTF-8 text.

#include <string>
#include <string_view>

namespace ruzd::foundation {

// Whether the bytes look like UTF-16LE text: a byte-order mark FF FE, or text in which at least
// half of the code units have a zero high byte (the odd positions) and zero high bytes outnumber
// zero low bytes, as Latin text in UTF-16LE does. Fewer than two bytes never look like UTF-16.
bool LooksLikeUtf16Text(std::string_view bytes);

class CapturedOutputDecoder {
public:
    // Converts one chunk and appends it to `out`. The first chunk fixes the encoding. A UTF-16
    // character split between chunks (an odd byte, or the first half of a surrogate pair) is
    // kept back and joined with the next chunk; a byte-order mark at the very start is dropped.
    void Append(std::string_view chunk, std::string& out);

    // Whatever was kept back and can never be completed: a lone first half of a surrogate pair
    // becomes U+FFFD, a lone byte is dropped.
    void Finish(std::string& out);

    bool decided() const { return encoding_ != Encoding::kUndecided; }
    bool is_utf16() const { return encoding_ == Encoding::kUtf16; }

private:
    enum class Encoding { kUndecided, kAnsi, kUtf16 };

    void AppendUtf16(std::string_view chunk, std::string& out);

    Encoding encoding_ = Encoding::kUndecided;
    std::string pending_;  // UTF-16LE bytes held back from the previous chunk
};

}  // namespace ruzd::foundation
