#include "boardsim/core/behaviour/bus_devices.h"

#include <cctype>

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The media part of a Global Call name (":N_iptB1T1:P_IP:M_ipmB1C1" -> "ipmb1c1").
std::optional<std::string> MediaPart(const std::string& name) {
    const std::string lower = Lower(name);
    const size_t start = lower.find("m_");
    if (start == std::string::npos || (start != 0 && lower[start - 1] != ':'))
        return std::nullopt;
    const size_t end = lower.find(':', start);
    return lower.substr(start + 2, end == std::string::npos ? std::string::npos : end - start - 2);
}

bool OnBus(const std::string& device) {
    return Machine::Get().bus().SlotOf(device).has_value();
}

}  // namespace

std::optional<std::string> BusDeviceOf(int32_t handle, BusLibrary library) {
    const std::optional<DeviceInfo> info = Machine::Get().devices().Find(handle);
    if (!info || !info->open || info->subdevices != 0)
        return std::nullopt;
    std::optional<std::string> device;
    switch (library) {
        case BusLibrary::kVoice:
            if (info->family == DeviceFamily::kVoice)
                device = info->device;
            break;
        case BusLibrary::kAnalog:
            break;
        case BusLibrary::kNetwork:
            if (StartsWith(info->device, "dtib"))
                device = info->device;
            break;
        case BusLibrary::kStation:
            if (info->family == DeviceFamily::kStation)
                device = info->device;
            break;
        case BusLibrary::kGlobalCall:
            if (info->family != DeviceFamily::kGlobalCall)
                break;
            device = StartsWith(info->device, "iptb") ? MediaPart(info->name) : info->device;
            break;
    }
    if (!device || !OnBus(*device))
        return std::nullopt;
    return device;
}

std::optional<std::string> AnyBusDeviceOf(int32_t handle) {
    for (BusLibrary library : {BusLibrary::kVoice, BusLibrary::kNetwork, BusLibrary::kStation,
                               BusLibrary::kGlobalCall}) {
        if (std::optional<std::string> device = BusDeviceOf(handle, library))
            return device;
    }
    return std::nullopt;
}

}  // namespace ruzd::boardsim
