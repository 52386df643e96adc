#include "boardsim/core/device_catalog.h"

#include <cstdio>

namespace ruzd::boardsim {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string Name(const char* format, int board, int sub = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, board, sub);
    return buffer;
}

// The part of a Global Call name after the prefix ("N_", "M_"), up to the next ':'.
std::optional<std::string> GlobalCallPart(std::string_view name, std::string_view prefix) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(':', start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view part = name.substr(start, end - start);
        if (part.size() > prefix.size() && Lower(part.substr(0, prefix.size())) == Lower(prefix))
            return std::string(part.substr(prefix.size()));
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

DeviceCatalog::DeviceCatalog(const BoardConfig& config) {
    AddBoards(config.voice, "dxxxB%d", "dxxxB%dC%d", DeviceFamily::kVoice, DeviceFamily::kVoice,
              true);
    AddBoards(config.network, "dtiB%d", "dtiB%dT%d", DeviceFamily::kNetwork, DeviceFamily::kNetwork,
              true);
    AddBoards(config.station, "msiB%d", "msiB%dC%d", DeviceFamily::kStation, DeviceFamily::kStation,
              true);
    AddBoards(config.conference, "dcbB%d", "dcbB%dD%d", DeviceFamily::kConference,
              DeviceFamily::kConference, false);
    AddBoards(config.ip, "iptB%d", "iptB%dT%d", DeviceFamily::kGlobalCall,
              DeviceFamily::kGlobalCall, false);
    AddBoards(config.MediaBoards(), "ipmB%d", "ipmB%dC%d", DeviceFamily::kGlobalCall,
              DeviceFamily::kGlobalCall, true);
    board_counts_ = {{"voice", config.voice.count}, {"dti", config.network.count},
                     {"msi", config.station.count}, {"dcb", config.conference.count},
                     {"ipt", config.ip.count},      {"ipm", config.MediaBoards().count}};
}

void DeviceCatalog::AddBoards(const BoardConfig::Boards& boards, const char* board, const char* sub,
                              DeviceFamily family, DeviceFamily sub_family, bool on_bus) {
    for (int b = 1; b <= boards.count; ++b) {
        entries_[Lower(Name(board, b))] = {family, boards.subdevices};
        for (int s = 1; s <= boards.subdevices; ++s) {
            entries_[Lower(Name(sub, b, s))] = {sub_family, 0};
            if (on_bus)
                bus_devices_.push_back(Lower(Name(sub, b, s)));
        }
    }
}

std::optional<std::string> DeviceCatalog::Resolve(std::string_view name,
                                                  DeviceFamily family) const {
    std::string device;
    if (family == DeviceFamily::kGlobalCall) {
        std::optional<std::string> part = GlobalCallPart(name, "N_");
        if (!part)
            part = GlobalCallPart(name, "M_");
        if (!part)
            return std::nullopt;
        device = Lower(*part);
        // Global Call opens network time slots as well as IP devices.
        const auto it = entries_.find(device);
        if (it == entries_.end())
            return std::nullopt;
        return device;
    }
    device = Lower(name);
    const auto it = entries_.find(device);
    if (it == entries_.end())
        return std::nullopt;
    const DeviceFamily wanted =
        family == DeviceFamily::kLineDevice ? DeviceFamily::kNetwork : family;
    if (it->second.family != wanted)
        return std::nullopt;
    // The ISDN library opens spans too, as board-level line devices (their D channel); only
    // time slots carry calls.
    return device;
}

int32_t DeviceCatalog::Open(std::string_view name, DeviceFamily family) {
    const std::optional<std::string> device = Resolve(name, family);
    if (!device)
        return -1;
    std::lock_guard<std::mutex> lock(mutex_);
    DeviceInfo info;
    info.handle = next_handle_++;
    info.family = family;
    info.name = std::string(name);
    info.device = *device;
    info.subdevices = entries_.at(*device).subdevices;
    info.open = true;
    opened_[info.handle] = info;
    return info.handle;
}

bool DeviceCatalog::Close(int32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = opened_.find(handle);
    if (it == opened_.end() || !it->second.open)
        return false;
    it->second.open = false;
    return true;
}

void DeviceCatalog::SetLastError(int32_t handle, int32_t error) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = opened_.find(handle);
    if (it != opened_.end())
        it->second.last_error = error;
}

std::optional<DeviceInfo> DeviceCatalog::Find(int32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = opened_.find(handle);
    if (it == opened_.end())
        return std::nullopt;
    return it->second;
}

int32_t DeviceCatalog::HandleOf(std::string_view name) const {
    const std::string lower = Lower(name);
    std::lock_guard<std::mutex> lock(mutex_);
    int32_t newest = -1;
    for (const auto& [handle, info] : opened_) {
        if (info.open && (Lower(info.name) == lower || info.device == lower))
            newest = handle;
    }
    return newest;
}

const char* DeviceCatalog::NameOf(int32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = opened_.find(handle);
    return it == opened_.end() ? nullptr : it->second.name.c_str();
}

std::optional<int32_t> DeviceCatalog::BoardCount(std::string_view class_name) const {
    const auto it = board_counts_.find(Lower(class_name));
    if (it == board_counts_.end())
        return std::nullopt;
    return it->second;
}

bool DeviceCatalog::Exists(std::string_view device) const {
    return entries_.count(Lower(device)) != 0;
}

std::vector<DeviceInfo> DeviceCatalog::OpenDevices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<DeviceInfo> open;
    for (const auto& [handle, info] : opened_) {
        if (info.open)
            open.push_back(info);
    }
    return open;
}

}  // namespace ruzd::boardsim
