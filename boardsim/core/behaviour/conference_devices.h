#pragma once

// The devices the station and conference functions work on, found by handle: a refused
// handle gets EDV_BADDEVICE as its last error.

#include <cstdint>
#include <optional>
#include <string>

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

enum class DeviceLevel { kBoard, kSubdevice, kAny };

// The catalogue name of an open device of the family at that level, or nullopt.
inline std::optional<std::string> OpenDeviceOf(int32_t handle, DeviceFamily family,
                                               DeviceLevel level) {
    const std::optional<DeviceInfo> info = Machine::Get().devices().Find(handle);
    const bool level_fits = level == DeviceLevel::kAny ||
                            (level == DeviceLevel::kBoard) == (info && info->subdevices > 0);
    if (!info || !info->open || info->family != family || !level_fits) {
        if (info)
            Machine::Get().devices().SetLastError(handle, EDV_BADDEVICE);
        return std::nullopt;
    }
    return info->device;
}

// -1 with the error as the device's last error, or 0 for no error.
inline int32_t Answer(int32_t handle, int32_t error) {
    if (error == EDV_NOERROR)
        return 0;
    Machine::Get().devices().SetLastError(handle, error);
    return -1;
}

}  // namespace ruzd::boardsim
