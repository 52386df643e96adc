#pragma once

// The bytes of the simulated voice: A-law samples, as the TDM bus carries them, and the
// CRC-32 (the IEEE polynomial, as zlib computes it) by which the queries describe them.

#include <cstddef>
#include <cstdint>

namespace ruzd::boardsim {

// A-law's silence: the code of the smallest positive sample.
constexpr uint8_t kAlawSilence = 0xD5;

int16_t AlawDecode(uint8_t code);
uint8_t AlawEncode(int16_t sample);
// Mu-law, as a recording in that format holds it.
uint8_t MulawEncode(int16_t sample);
// Two A-law bytes heard at once: decoded, added with clipping, encoded again.
uint8_t AlawMix(uint8_t first, uint8_t second);

// Continues a CRC-32 over more bytes (start with 0).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace ruzd::boardsim
