#pragma once

// The bytes of the binary message stream that the writer and the reader share. Every value starts
// with a tag byte; multi-byte numbers and lengths are big-endian.

#include <cstdint>

namespace ruzd::net::stream_format {

// Integers. 0x00-0x3F are the values 0 to 63 themselves; 0x40-0x79 are minus (tag AND 0x3F).
constexpr uint8_t kLargestSmallPositive = 0x3F;
constexpr uint8_t kSmallNegativeBase = 0x40;
constexpr int kLargestSmallNegative = 56;  // the writer's 0x41-0x78; 0x79 still reads as -57
constexpr uint8_t kPositive32 = 0x7A;
constexpr uint8_t kNegative32 = 0x7B;
constexpr uint8_t kPositive16 = 0x7C;
constexpr uint8_t kNegative16 = 0x7D;
constexpr uint8_t kPositive8 = 0x7E;
constexpr uint8_t kNegative8 = 0x7F;

// Narrow text (0x80-0xBF) and byte strings (0xC0-0xFF) share one layout: the short form carries
// its length in the low six bits, then come an 8-bit and a 16-bit length form.
constexpr uint8_t kTextShort = 0x80;
constexpr uint8_t kText16 = 0xBE;
constexpr uint8_t kText8 = 0xBF;
constexpr uint8_t kBytesShort = 0xC0;
constexpr uint8_t kBytes16 = 0xFE;
constexpr uint8_t kBytes8 = 0xFF;
constexpr uint8_t kKindMask = 0xC0;
constexpr uint8_t kShortLengthMask = 0x3F;
constexpr int kLargestShortText = 61;
constexpr int kLargestShortBytes = 61;

// The length fields are 16 bits wide.
constexpr int kMaxStringLength = 65535;

// Frame: length form (1, 2 or 3), the payload length in that many bytes, the payload, the 16-bit
// sum of the payload bytes, then the end byte.
constexpr uint8_t kFrameEnd = 0xFF;

}  // namespace ruzd::net::stream_format
