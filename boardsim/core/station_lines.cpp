#include "boardsim/core/station_lines.h"

#include <cstdio>

namespace ruzd::boardsim {

void StationLines::SetOffHook(const std::string& station, bool off_hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line& line = lines_[station];
    line.off_hook = off_hook;
    if (off_hook)
        line.ringing = false;
}

bool StationLines::IsOffHook(const std::string& station) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = lines_.find(station);
    return found != lines_.end() && found->second.off_hook;
}

bool StationLines::Ring(const std::string& station) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line& line = lines_[station];
    if (line.off_hook)
        return false;
    line.ringing = true;
    ++line.rings;
    return true;
}

void StationLines::Stop(const std::string& station) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[station].ringing = false;
}

bool StationLines::IsRinging(const std::string& station) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = lines_.find(station);
    return found != lines_.end() && found->second.ringing;
}

void StationLines::SetParameter(const std::string& device, const std::string& kind, uint32_t id,
                                int32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[device].parameters[{kind, id}] = value;
}

void StationLines::SetEventMask(const std::string& device, uint32_t event, uint32_t bits,
                                int32_t action) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[device].masks[event] = {bits, action};
}

std::string StationLines::Describe(const std::string& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = lines_.find(device);
    const Line line = found == lines_.end() ? Line{} : found->second;
    std::string text = std::string("hook=") + (line.off_hook ? "off" : "on") +
                       " ringing=" + (line.ringing ? "1" : "0") +
                       " rings=" + std::to_string(line.rings);
    for (const auto& [key, value] : line.parameters)
        text += " " + key.first + ":" + std::to_string(key.second) + "=" + std::to_string(value);
    for (const auto& [event, mask] : line.masks) {
        char entry[64];
        std::snprintf(entry, sizeof entry, " mask:0x%X=0x%X/%d", event, mask.first, mask.second);
        text += entry;
    }
    return text;
}

}  // namespace ruzd::boardsim
