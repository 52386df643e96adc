#pragma once

// A picture of the whole screen of the X display named by $DISPLAY, as 24-bit device-independent
// bits: blue, green, red per pixel, rows from the bottom up, each padded to 4 bytes.

#include <cstdint>
#include <vector>

namespace ruzd::platform {

enum class ScreenCapture {
    kCaptured,
    kNoScreen,           // no display to open, or its image could not be read
    kUnsupportedFormat,  // the screen is not 24- or 32-bit TrueColor
};

struct ScreenBits {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bits;
};

ScreenCapture CaptureScreen(ScreenBits& screen);

// Bytes per row of 24-bit bits, padded to 4.
inline uint32_t RowBytes24(int32_t width) {
    return ((24u * static_cast<uint32_t>(width) + 31u) / 32u) * 4u;
}

}  // namespace ruzd::platform
