#include "net/input_stream_socket.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "net/stream_format.h"
#include "platform/text.h"

namespace ruzd::net {
namespace {

using namespace stream_format;

// Bytes of an integer form, its tag included.
int IntegerFormSize(uint8_t tag) {
    switch (tag) {
        case kNegative8:
        case kPositive8:
            return 2;
        case kNegative16:
        case kPositive16:
            return 3;
        case kNegative32:
        case kPositive32:
            return 5;
        default:
            return 1;
    }
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

CInputStreamSocket::CInputStreamSocket() = default;

CInputStreamSocket::CInputStreamSocket(const uint8_t* data, int length) {
    Attach(data, length);
}

void CInputStreamSocket::Attach(const uint8_t* data, int length) {
    std::lock_guard lock(lock_);
    position_ = 0;
    if (length < 0 || (data == nullptr && length > 0)) {
        data_ = nullptr;
        length_ = 0;
        ok_ = false;
        return;
    }
    data_ = data;
    length_ = length;
    ok_ = true;
}

bool CInputStreamSocket::DecodeSigned(int32_t& value) {
    value = 0;
    if (Remaining() < 1) {
        Fail();
        return false;
    }
    const uint8_t tag = At(0);
    if (tag <= kLargestSmallPositive) {
        value = tag;
        position_ += 1;
        return true;
    }
    if (tag >= kTextShort) {
        Fail();  // text or bytes: left in place for the read that expects them
        return false;
    }
    const int size = IntegerFormSize(tag);
    if (size == 1) {
        value = -static_cast<int32_t>(tag & 0x3F);
        position_ += 1;
        return true;
    }
    if (Remaining() < size) {
        Fail();
        return false;
    }
    uint32_t magnitude = 0;
    for (int i = 1; i < size; ++i) {
        magnitude = (magnitude << 8) | At(i);
    }
    const bool negative = tag == kNegative8 || tag == kNegative16 || tag == kNegative32;
    // Values beyond 32 bits wrap, as the peer's own reader does: 7A FF FF FF FF is -1.
    value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    position_ += size;
    return true;
}

bool CInputStreamSocket::DecodeUnsigned(uint32_t& value) {
    value = 0;
    if (Remaining() < 1) {
        Fail();
        return false;
    }
    const uint8_t tag = At(0);
    if (tag <= kLargestSmallPositive) {
        value = tag;
        position_ += 1;
        return true;
    }
    if (tag >= kTextShort) {
        Fail();
        return false;
    }
    const int size = IntegerFormSize(tag);
    if (tag == kPositive8 || tag == kPositive16 || tag == kPositive32) {
        if (Remaining() < size) {
            Fail();
            return false;
        }
        for (int i = 1; i < size; ++i) {
            value = (value << 8) | At(i);
        }
        position_ += size;
        return true;
    }
    // A negative value has no unsigned reading: it is skipped, but never past the payload.
    position_ += std::min(size, Remaining());
    Fail();
    return false;
}

bool CInputStreamSocket::DecodeStringHeader(uint8_t shortBase, uint8_t tag16, uint8_t tag8,
                                            int& length) {
    length = 0;
    if (Remaining() < 1) {
        return false;
    }
    const uint8_t tag = At(0);
    if (tag == tag8) {
        if (Remaining() < 2) {
            return false;
        }
        length = At(1);
        position_ += 2;
    } else if (tag == tag16) {
        if (Remaining() < 3) {
            return false;
        }
        length = At(1) * 256 + At(2);
        position_ += 3;
    } else if ((tag & kKindMask) == shortBase) {
        length = tag & kShortLengthMask;
        position_ += 1;
    } else {
        return false;
    }
    return true;
}

bool CInputStreamSocket::DecodeText(std::string& text) {
    text.clear();
    int n = 0;
    if (!DecodeStringHeader(kTextShort, kText16, kText8, n) || Remaining() < n) {
        Fail();
        return false;
    }
    std::string_view bytes(reinterpret_cast<const char*>(data_ + position_), n);
    position_ += n;
    // The peer's text ends at its first NUL.
    bytes = bytes.substr(0, std::min(bytes.find('\0'), bytes.size()));
    if (IsAscii(bytes)) {
        text.assign(bytes);
    } else {
        text = platform::Cp1252ToUtf8(bytes);
    }
    return true;
}

CInputStreamSocket& CInputStreamSocket::ReadInt(int32_t& value) {
    std::lock_guard lock(lock_);
    DecodeSigned(value);
    return *this;
}

CInputStreamSocket& CInputStreamSocket::ReadLong(int32_t& value) {
    return ReadInt(value);
}

CInputStreamSocket& CInputStreamSocket::ReadUInt(uint32_t& value) {
    std::lock_guard lock(lock_);
    DecodeUnsigned(value);
    return *this;
}

CInputStreamSocket& CInputStreamSocket::ReadNonNegative(int32_t& value) {
    std::lock_guard lock(lock_);
    if (DecodeSigned(value) && value < 0) {
        value = 0;
        Fail();
    }
    return *this;
}

template <typename Narrow>
CInputStreamSocket& CInputStreamSocket::ReadInRange(Narrow& value) {
    std::lock_guard lock(lock_);
    int32_t wide = 0;
    DecodeSigned(wide);
    if (wide < std::numeric_limits<Narrow>::min() || wide > std::numeric_limits<Narrow>::max()) {
        wide = 0;
        Fail();
    }
    value = static_cast<Narrow>(wide);
    return *this;
}

CInputStreamSocket& CInputStreamSocket::ReadChar(int8_t& value) {
    return ReadInRange(value);
}

CInputStreamSocket& CInputStreamSocket::ReadByte(uint8_t& value) {
    return ReadInRange(value);
}

CInputStreamSocket& CInputStreamSocket::ReadShort(int16_t& value) {
    return ReadInRange(value);
}

CInputStreamSocket& CInputStreamSocket::ReadWord(uint16_t& value) {
    return ReadInRange(value);
}

CInputStreamSocket& CInputStreamSocket::ReadString(std::string& text) {
    std::lock_guard lock(lock_);
    DecodeText(text);
    return *this;
}

bool CInputStreamSocket::ReadStringBuffer(char* buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return false;
    }
    std::lock_guard lock(lock_);
    buffer[0] = '\0';
    std::string text;
    if (!DecodeText(text)) {
        return false;
    }
    if (text.size() + 1 > static_cast<size_t>(size)) {
        Fail();
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

bool CInputStreamSocket::ReadBytes(uint8_t* buffer, int length) {
    std::lock_guard lock(lock_);
    if (length < 0 || (buffer == nullptr && length > 0)) {
        Fail();
        return false;
    }
    if (length > 0) {
        std::memset(buffer, 0, length);
    }
    int n = 0;
    if (!DecodeStringHeader(kBytesShort, kBytes16, kBytes8, n)) {
        Fail();
        return false;
    }
    if (n != length) {
        position_ += std::min(n, Remaining());
        Fail();
        return false;
    }
    if (Remaining() < n) {
        Fail();
        return false;
    }
    if (n > 0) {
        std::memcpy(buffer, data_ + position_, n);
        position_ += n;
    }
    return true;
}

bool CInputStreamSocket::IsOk() const {
    std::lock_guard lock(lock_);
    return ok_;
}

bool CInputStreamSocket::HasMoreData() const {
    std::lock_guard lock(lock_);
    return position_ < length_;
}

int CInputStreamSocket::Position() const {
    std::lock_guard lock(lock_);
    return position_;
}

int CInputStreamSocket::Length() const {
    std::lock_guard lock(lock_);
    return length_;
}

}  // namespace ruzd::net
