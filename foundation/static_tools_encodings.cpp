// CStaticTools: percent, UTF-8 and base64 text, and writing a buffer to a file.

#include <algorithm>

#include "foundation/static_tools.h"
#include "platform/crt_folder.h"
#include "platform/regular_file.h"
#include "platform/text.h"
#include "platform/win_path.h"

extern "C" {
#include <b64/cdecode.h>
#include <b64/cencode.h>
}

namespace ruzd::foundation {
namespace {

// libb64 counts in int; larger inputs go through it piece by piece, which its state allows.
constexpr size_t kBase64Piece = size_t{1} << 24;

// Runs libb64's `step` over the input piece by piece into `out`; the count it wrote.
template <typename Step>
size_t InPieces(std::string_view input, char* out, Step step) {
    size_t written = 0;
    for (size_t pos = 0; pos < input.size(); pos += kBase64Piece) {
        const size_t piece = std::min(kBase64Piece, input.size() - pos);
        written +=
            static_cast<size_t>(step(input.data() + pos, static_cast<int>(piece), out + written));
    }
    return written;
}

template <typename Char>
std::basic_string<Char> DecodePercent(std::basic_string_view<Char> text) {
    std::basic_string<Char> decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && platform::HexDigitValue(text[i + 1]) >= 0 &&
            platform::HexDigitValue(text[i + 2]) >= 0) {
            decoded += static_cast<Char>(platform::HexDigitValue(text[i + 1]) * 16 +
                                         platform::HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace

std::string CStaticTools::PercentDecode(std::string_view text) {
    return DecodePercent(text);
}

std::u16string CStaticTools::PercentDecode(std::u16string_view text) {
    return DecodePercent(text);
}

std::string CStaticTools::WideToUtf8(std::u16string_view text) {
    return platform::Utf16ToUtf8(text);
}

std::u16string CStaticTools::Utf8ToWide(std::string_view text) {
    return platform::Utf8ToUtf16(text);
}

std::string CStaticTools::Base64Encode(std::string_view bytes) {
    // Four characters for every three bytes, a line feed for every 72 of them, and the end.
    std::string text((bytes.size() + 2) / 3 * 4 * 73 / 72 + 8, '\0');
    base64_encodestate state;
    base64_init_encodestate(&state);
    size_t written = InPieces(bytes, text.data(), [&state](const char* in, int size, char* out) {
        return base64_encode_block(in, size, out, &state);
    });
    written += static_cast<size_t>(base64_encode_blockend(text.data() + written, &state));
    text.resize(written);
    return text;
}

std::string CStaticTools::Base64Decode(std::string_view text) {
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    base64_decodestate state;
    base64_init_decodestate(&state);
    const size_t written =
        InPieces(text, bytes.data(), [&state](const char* in, int size, char* out) {
            return base64_decode_block(in, size, out, &state);
        });
    bytes.resize(written);
    return bytes;
}

bool CStaticTools::WriteBufferToFile(const std::string& path, const void* data, size_t size) {
    const std::string folder = platform::WindowsFolder(path);
    if (!folder.empty()) {
        const int made = platform::CrtMakeFolder(folder);
        if (made != 0 && made != platform::kCrtErrnoExists) {
            return false;
        }
    }
    const std::filesystem::path host = platform::MapWindowsPath(path);
    if (host.empty()) {
        return false;
    }
    return platform::WriteRegularFile(host,
                                      std::string_view(static_cast<const char*>(data), size)) == 0;
}

}  // namespace ruzd::foundation
