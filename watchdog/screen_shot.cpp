#include "watchdog/screen_shot.h"

#include <cstring>
#include <filesystem>

#include "platform/local_time.h"
#include "platform/replace_file.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

template <typename T>
void Append(std::string& bytes, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes.append(raw, sizeof(T));
}

}  // namespace

std::string ScreenShotFileName(int64_t now) {
    const platform::LocalTime local = platform::ToLocalTime(now).value_or(platform::LocalTime{});
    return platform::Format("%02d%02d%02d%02d.BMP", local.month, local.day, local.hour,
                            local.minute);
}

std::string BitmapFileBytes(const platform::ScreenBits& screen) {
    const uint32_t image_size = platform::RowBytes24(screen.width) * screen.height;
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    std::string bytes;
    bytes.reserve(offset + image_size);
    bytes += "BM";
    Append<uint32_t>(bytes, offset + image_size);
    Append<uint16_t>(bytes, 0);
    Append<uint16_t>(bytes, 0);
    Append<uint32_t>(bytes, offset);
    Append<uint32_t>(bytes, kInfoHeaderSize);
    Append<int32_t>(bytes, screen.width);
    Append<int32_t>(bytes, screen.height);  // positive: rows from the bottom up
    Append<uint16_t>(bytes, 1);             // planes
    Append<uint16_t>(bytes, 24);            // bits per pixel
    Append<uint32_t>(bytes, 0);             // uncompressed
    Append<uint32_t>(bytes, image_size);
    Append<int32_t>(bytes, 0);
    Append<int32_t>(bytes, 0);
    Append<uint32_t>(bytes, 0);  // no colour table
    Append<uint32_t>(bytes, 0);
    bytes.append(reinterpret_cast<const char*>(screen.bits.data()), screen.bits.size());
    return bytes;
}

void TakeScreenShot(const std::string& file_name) {
    WriteLogFormat("TakeScreenShot: Storing screen in %s", file_name.c_str());
    platform::ScreenBits screen;
    switch (platform::CaptureScreen(screen)) {
        case platform::ScreenCapture::kNoScreen:
            WriteLog("TakeScreenShot: Failed to store screen in bitmap");
            return;
        case platform::ScreenCapture::kUnsupportedFormat:
            WriteLog("TakeScreenShot: Failed to convert bitmap format");
            return;
        case platform::ScreenCapture::kCaptured:
            break;
    }
    const std::string bytes = BitmapFileBytes(screen);
    // Put in place whole, never opened by its name: a FIFO there, or a shot of the same minute,
    // is replaced, and no reader finds a bitmap cut short.
    const std::filesystem::path path = platform::MapWindowsPath(file_name);
    const uint32_t error = path.empty() ? platform::kErrorPathNotFound
                                        : platform::ReplaceFileDurably(
                                              path, bytes.data(), bytes.size(), path.parent_path());
    if (error != 0) {
        WriteLogFormat("TakeScreenShot: Failed to save bitmap to %s, Error=%u", file_name.c_str(),
                       error);
    }
}

}  // namespace ruzd::watchdog
