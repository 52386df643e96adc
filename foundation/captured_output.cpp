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

constexpr size_t kIncomplete = 0;

// The length of the well-formed UTF-8 sequence at bytes[at]; kIncomplete when the bytes end in
// what may still become one; npos when no sequence starts there.
size_t Utf8SequenceAt(std::string_view bytes, size_t at) {
    const Utf8Lead lead = LeadOf(static_cast<uint8_t>(bytes[at]));
    if (lead.length == 0) {
        return std::string_view::npos;
    }
    for (size_t i = 1; i < lead.length; ++i) {
        if (at + i == bytes.size()) {
            return kIncomplete;
        }
        const auto byte = static_cast<uint8_t>(bytes[at + i]);
        const uint8_t min = i == 1 ? lead.second_min : uint8_t{0x80};
        const uint8_t max = i == 1 ? lead.second_max : uint8_t{0xBF};
        if (byte < min || byte > max) {
            return std::string_view::npos;
        }
    }
    return lead.length;
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
        const size_t length = Utf8SequenceAt(bytes, at);
        if (length == kIncomplete) {
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
