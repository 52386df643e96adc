#pragma once

// The reading side of the binary message stream: typed reads over one received payload. A read
// that fails yields 0, empty text or a zeroed buffer and clears the ok flag, which nothing sets
// again; a caller reads a whole message and checks IsOk once. No read ever looks outside the
// payload.

#include <cstdint>
#include <mutex>
#include <string>
#include <type_traits>

namespace ruzd::net {

class CInputStreamSocket {
public:
    // An empty payload.
    CInputStreamSocket();
    // The payload is not copied: it must outlive the reader.
    CInputStreamSocket(const uint8_t* data, int length);
    CInputStreamSocket(const CInputStreamSocket&) = delete;
    CInputStreamSocket& operator=(const CInputStreamSocket&) = delete;

    // Sets the reader up over a payload: position 0, ok flag set. A negative length, or no data
    // with a length, gives an empty payload with the ok flag cleared.
    void Attach(const uint8_t* data, int length);

    CInputStreamSocket& ReadInt(int32_t& value);
    CInputStreamSocket& ReadLong(int32_t& value);
    template <typename Enum>
    requires std::is_enum_v<Enum> CInputStreamSocket& ReadEnum(Enum& value) {
        int32_t number = 0;
        ReadInt(number);
        value = static_cast<Enum>(number);
        return *this;
    }
    CInputStreamSocket& ReadUInt(uint32_t& value);
    // The signed value; a negative one reads as 0 and clears the ok flag.
    CInputStreamSocket& ReadNonNegative(int32_t& value);
    // Range reads: a value outside the type's range reads as 0 and clears the ok flag (its bytes
    // are consumed).
    CInputStreamSocket& ReadChar(int8_t& value);
    CInputStreamSocket& ReadByte(uint8_t& value);
    CInputStreamSocket& ReadShort(int16_t& value);
    CInputStreamSocket& ReadWord(uint16_t& value);

    // Narrow text: Windows-1252 on the wire, UTF-8 out, up to the first NUL.
    CInputStreamSocket& ReadString(std::string& text);
    // Text into a caller's buffer as NUL-terminated UTF-8. False for a null buffer or a size
    // below 1 (the ok flag untouched), when the text cannot be read, and when it does not fit
    // (the buffer then stays empty); the last two clear the ok flag.
    bool ReadStringBuffer(char* buffer, int size);
    // A byte string of exactly `length` bytes into buffer, which is zeroed first. A byte string
    // of another length is skipped; it, a missing or truncated one, a negative length or a null
    // buffer with a length fail: false and the ok flag cleared.
    bool ReadBytes(uint8_t* buffer, int length);

    bool IsOk() const;
    bool HasMoreData() const;
    // Index of the next unread byte, and the payload length.
    int Position() const;
    int Length() const;

private:
    bool DecodeSigned(int32_t& value);
    bool DecodeUnsigned(uint32_t& value);
    bool DecodeText(std::string& text);
    // Reads the header of a text or byte string whose short forms start at `shortBase` and whose
    // 16- and 8-bit forms have the tags given; false, with nothing consumed, when the value at
    // the position is of another kind or its header is cut off.
    bool DecodeStringHeader(uint8_t shortBase, uint8_t tag16, uint8_t tag8, int& length);
    template <typename Narrow>
    CInputStreamSocket& ReadInRange(Narrow& value);
    int Remaining() const { return length_ - position_; }
    uint8_t At(int offset) const { return data_[position_ + offset]; }
    void Fail() { ok_ = false; }

    const uint8_t* data_ = nullptr;
    mutable std::recursive_mutex lock_;
    int length_ = 0;
    int position_ = 0;
    bool ok_ = true;
};

}  // namespace ruzd::net
