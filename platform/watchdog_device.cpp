#include "platform/watchdog_device.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace ruzd::platform {
namespace {

// The byte the card shows at `offset`: the last one written or set there.
uint8_t CurrentByte(const std::string& content, uint32_t offset) {
    uint8_t byte = 0;
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        char kind = 0;
        unsigned at = 0;
        unsigned value = 0;
        if (std::sscanf(line.c_str(), "%c %u 0x%x", &kind, &at, &value) == 3 &&
            (kind == 'W' || kind == 'S') && at == offset) {
            byte = static_cast<uint8_t>(value);
        }
    }
    return byte;
}

}  // namespace

bool WatchdogDeviceControl(uint32_t code, const void* input, size_t input_size, void* output,
                           size_t output_size) {
    const char* device = std::getenv("RUZD_WATCHDOG_DEVICE");
    if (device == nullptr || *device == '\0' || input == nullptr || input_size < 4) {
        return false;
    }
    std::fstream file(device, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) {
        return false;
    }
    uint32_t offset = 0;
    std::memcpy(&offset, input, sizeof offset);
    char line[64];
    if (code == kWatchdogReadPort && output != nullptr && output_size >= 1) {
        std::ostringstream content;
        content << file.rdbuf();
        const uint8_t byte = CurrentByte(content.str(), offset);
        *static_cast<uint8_t*>(output) = byte;
        std::snprintf(line, sizeof line, "R %u 0x%02X\n", offset, byte);
    } else if (code == kWatchdogWritePort && input_size >= 5) {
        const uint8_t byte = static_cast<const uint8_t*>(input)[4];
        std::snprintf(line, sizeof line, "W %u 0x%02X\n", offset, byte);
    } else {
        return false;
    }
    file.clear();
    file.seekp(0, std::ios::end);
    file << line;
    return static_cast<bool>(file.flush());
}

}  // namespace ruzd::platform
