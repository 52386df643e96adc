#include "boardsim/core/media_codec.h"

#include <algorithm>
#include <array>

namespace ruzd::boardsim {
namespace {

constexpr uint8_t kAlawInvert = 0x55;
// Mu-law's largest 14-bit magnitude, and the bias that puts every segment's start on a power
// of two.
constexpr int kMulawClip = 8159;
constexpr int kMulawBias = 0x21;

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t value = n;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        table[n] = value;
    }
    return table;
}

}  // namespace

int16_t AlawDecode(uint8_t code) {
    code ^= kAlawInvert;
    const int exponent = (code & 0x70) >> 4;
    int magnitude = (code & 0x0F) << 4;
    magnitude += exponent == 0 ? 8 : 0x108;
    if (exponent > 1)
        magnitude <<= exponent - 1;
    return static_cast<int16_t>((code & 0x80) != 0 ? magnitude : -magnitude);
}

uint8_t AlawEncode(int16_t sample) {
    int value = sample >> 3;  // 13 bits
    uint8_t mask = 0xD5;
    if (value < 0) {
        mask = kAlawInvert;
        value = -value - 1;
    }
    // Segment n holds the 13-bit magnitudes up to (32 << n) - 1.
    int segment = 0;
    while (segment < 8 && value > (0x20 << segment) - 1)
        ++segment;
    if (segment >= 8)
        return static_cast<uint8_t>(0x7F ^ mask);
    const int mantissa = segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
    return static_cast<uint8_t>(((segment << 4) | mantissa) ^ mask);
}

uint8_t MulawEncode(int16_t sample) {
    int value = sample >> 2;  // 14 bits
    uint8_t mask = 0xFF;
    if (value < 0) {
        mask = 0x7F;
        value = -value;
    }
    value = std::min(value, kMulawClip) + kMulawBias;
    // Segment n holds the biased magnitudes up to (0x40 << n) - 1.
    int segment = 0;
    while (segment < 8 && value > (0x40 << segment) - 1)
        ++segment;
    if (segment >= 8)
        return static_cast<uint8_t>(0x7F ^ mask);
    const int mantissa = (value >> (segment + 1)) & 0x0F;
    return static_cast<uint8_t>(((segment << 4) | mantissa) ^ mask);
}

uint8_t AlawMix(uint8_t first, uint8_t second) {
    const int sum = AlawDecode(first) + AlawDecode(second);
    return AlawEncode(static_cast<int16_t>(std::clamp(sum, -32768, 32767)));
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace ruzd::boardsim
