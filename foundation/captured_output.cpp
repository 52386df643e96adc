#include "foundation/captured_output.h"

#include <cstdint>

#include "platform/text.h"

namespace ruzd::foundation {
namespace {

bool StartsWithByteOrderMark(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
           static_cast<uint8_t>(bytes[1]) == 0xFE;
}

bool IsHighSurrogateAt(std::string_view bytes, size_t offset) {
    const uint8_t high = static_cast<uint8_t>(bytes[offset + 1]);
    return high >= 0xD8 && high <= 0xDB;
}

}  // namespace

bool LooksLikeUtf16Text(std::string_view bytes) {
    if (bytes.size() < 2) {
        return false;
    }
    if (StartsWithByteOrderMark(bytes)) {
        return true;
    }
    const size_t units = bytes.size() / 2;
    size_t zero_high = 0;
    size_t zero_low = 0;
    for (size_t i = 0; i < units; ++i) {
        zero_low += bytes[2 * i] == '\0' ? 1 : 0;
        zero_high += bytes[2 * i + 1] == '\0' ? 1 : 0;
    }
    return zero_high * 2 >= units && zero_high > zero_low;
}

void CapturedOutputDecoder::Append(std::string_view chunk, std::string& out) {
    if (chunk.empty()) {
        return;
    }
    if (encoding_ == Encoding::kUndecided) {
        encoding_ = LooksLikeUtf16Text(chunk) ? Encoding::kUtf16 : Encoding::kBytes;
        if (encoding_ == Encoding::kUtf16 && StartsWithByteOrderMark(chunk)) {
            chunk.remove_prefix(2);
        }
    }
    if (encoding_ == Encoding::kUtf16) {
        AppendUtf16(chunk, out);
    } else {
        AppendBytes(chunk, out);
    }
}

void CapturedOutputDecoder::AppendBytes(std::string_view chunk, std::string& out) {
    std::string bytes = std::move(pending_);
    pending_.clear();
    bytes.append(chunk);
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t length = platform::Utf8SequenceLength(bytes, at);
        if (length == 0) {
            pending_.assign(bytes, at, std::string::npos);
            return;
        }
        if (length == std::string_view::npos) {
            out += platform::Cp1252ToUtf8(std::string_view(bytes).substr(at, 1));
            ++at;
        } else {
            out.append(bytes, at, length);
            at += length;
        }
    }
}

void CapturedOutputDecoder::AppendUtf16(std::string_view chunk, std::string& out) {
    std::string bytes = std::move(pending_);
    pending_.clear();
    bytes.append(chunk);
    size_t complete = bytes.size() & ~size_t{1};
    if (complete >= 2 && IsHighSurrogateAt(bytes, complete - 2)) {
        complete -= 2;
    }
    pending_.assign(bytes, complete, std::string::npos);
    out += platform::Utf16leBytesToUtf8(std::string_view(bytes).substr(0, complete));
}

void CapturedOutputDecoder::Finish(std::string& out) {
    if (encoding_ == Encoding::kBytes) {
        out += platform::Cp1252ToUtf8(pending_);
    } else if (pending_.size() >= 2) {
        out += platform::Utf16leBytesToUtf8(pending_);
    }
    pending_.clear();
}

}  // namespace ruzd::foundation
