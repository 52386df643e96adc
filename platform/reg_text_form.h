#pragma once

// How a registry file lies on disk: its encoding and its line ends. Inside, the file's text is
// UTF-8 with LF line ends; a file is written back in the form it was read in, so that one saved
// by the Windows registry editor (UTF-16LE with a byte-order mark, CR LF line ends) stays one
// that editor reads. A new file takes the default form: UTF-8 without a mark, LF line ends.

#include <string>
#include <string_view>

namespace ruzd::platform {

struct RegTextForm {
    enum class Encoding { kUtf8, kUtf8WithBom, kUtf16leWithBom };

    Encoding encoding = Encoding::kUtf8;
    // The line end of the file's first line; LF when it has none.
    bool crlf = false;

    bool operator==(const RegTextForm& other) const = default;
};

// A file's bytes as UTF-8 text and the form they were in: UTF-16LE after its byte-order mark,
// UTF-8 after one, UTF-8 without one. False for bytes that are no text of that encoding (an
// ill-formed UTF-8 sequence, an odd number of UTF-16 bytes, an unpaired surrogate, a big-endian
// mark), with the line and the reason in `error`.
bool DecodeRegText(std::string_view bytes, std::string* text, RegTextForm* form,
                   std::string* error);

// UTF-8 text with LF line ends as the bytes of a file in `form`.
std::string EncodeRegText(std::string_view text, const RegTextForm& form);

// A line of a file as a report shows it: control characters and bytes that are no UTF-8 written
// as \xNN, a final CR dropped, a long line cut short.
std::string ShownRegLine(std::string_view line);

}  // namespace ruzd::platform
