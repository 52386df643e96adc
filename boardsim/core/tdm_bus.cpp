#include "boardsim/core/tdm_bus.h"

#include <set>

namespace ruzd::boardsim {
namespace {

// The slot the node's digit relay keeps for itself.
constexpr int32_t kReservedSlot = 4095;

}  // namespace

TdmBus::TdmBus(const std::vector<std::string>& devices,
               const std::vector<std::pair<std::string, int32_t>>& pinned,
               std::vector<std::string>* errors) {
    const std::set<std::string> on_bus(devices.begin(), devices.end());
    for (const auto& [device, slot] : pinned) {
        if (on_bus.count(device) == 0 || slots_.count(device) != 0 ||
            transmitters_.count(slot) != 0) {
            if (errors != nullptr)
                errors->push_back("slot " + device + " " + std::to_string(slot) +
                                  ": no such device on the bus, or the slot is taken");
            continue;
        }
        slots_[device] = slot;
        transmitters_[slot] = device;
    }
    int32_t next = 0;
    for (const std::string& device : devices) {
        if (slots_.count(device) != 0)
            continue;
        while (next == kReservedSlot || transmitters_.count(next) != 0)
            ++next;
        slots_[device] = next;
        transmitters_[next] = device;
        ++next;
    }
}

std::optional<int32_t> TdmBus::SlotOf(const std::string& device) const {
    const auto found = slots_.find(device);
    if (found == slots_.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> TdmBus::TransmitterOf(int32_t slot) const {
    const auto found = transmitters_.find(slot);
    if (found == transmitters_.end())
        return std::nullopt;
    return found->second;
}

void TdmBus::Listen(const std::string& device, int32_t slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    listening_[device] = slot;
}

void TdmBus::Unlisten(const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    listening_.erase(device);
}

std::optional<int32_t> TdmBus::Listening(const std::string& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = listening_.find(device);
    if (found == listening_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::pair<std::string, int32_t>> TdmBus::Listeners() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {listening_.begin(), listening_.end()};
}

}  // namespace ruzd::boardsim
