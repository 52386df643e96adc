#pragma once

// The screen shot of a local time-out: the whole screen as a 24-bit Windows bitmap file in the
// working folder, named by the local time ("%m%d%H%M.BMP"), so outages in one minute share it.

#include <cstdint>
#include <string>

#include "platform/screen_capture.h"

namespace ruzd::watchdog {

// The file name for `now` (seconds since 1970) in local time.
std::string ScreenShotFileName(int64_t now);

// The bitmap file's bytes: file header, 40-byte bitmap header, no colour table, the bits.
std::string BitmapFileBytes(const platform::ScreenBits& screen);

// Takes the shot into `file_name`, logging what it does and how it fails.
void TakeScreenShot(const std::string& file_name);

}  // namespace ruzd::watchdog
