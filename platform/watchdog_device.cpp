#include "platform/watchdog_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>

#include "platform/error_output.h"
#include "platform/owned_fd.h"
#include "platform/regular_file.h"
#include "platform/write_whole.h"

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

// The file that plays the card, open to read and append; -1 when there is no card. Anything but
// a regular file (a FIFO would hold the watchdog's loop in its first read) is no card either,
// and is named once.
int OpenCardFile(const char* device) {
    const int fd = OpenRegularFile(device, O_RDWR | O_APPEND);
    if (fd < 0 && errno != kNoSuchFileError) {
        static std::once_flag named;
        const std::string reason = OpenErrorText(errno);
        std::call_once(named, [&] {
            WriteErrorLine(std::string(device) + ": " + reason + ", taken for no watchdog card");
        });
    }
    return fd;
}

}  // namespace

bool WatchdogDeviceControl(uint32_t code, const void* input, size_t input_size, void* output,
                           size_t output_size) {
    const char* device = std::getenv("RUZD_WATCHDOG_DEVICE");
    if (device == nullptr || *device == '\0' || input == nullptr || input_size < 4) {
        return false;
    }
    const OwnedFd file(OpenCardFile(device));
    if (file.get() < 0) {
        return false;
    }
    uint32_t offset = 0;
    std::memcpy(&offset, input, sizeof offset);
    char line[64];
    if (code == kWatchdogReadPort && output != nullptr && output_size >= 1) {
        std::string content;
        if (ReadToEnd(file.get(), content) != 0) {
            return false;
        }
        const uint8_t byte = CurrentByte(content, offset);
        *static_cast<uint8_t*>(output) = byte;
        std::snprintf(line, sizeof line, "R %u 0x%02X\n", offset, byte);
    } else if (code == kWatchdogWritePort && input_size >= 5) {
        const uint8_t byte = static_cast<const uint8_t*>(input)[4];
        std::snprintf(line, sizeof line, "W %u 0x%02X\n", offset, byte);
    } else {
        return false;
    }
    return WriteWhole(file.get(), line, std::strlen(line));
}

}  // namespace ruzd::platform
