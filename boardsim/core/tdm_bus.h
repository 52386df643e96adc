#pragma once

// The boards' TDM bus: every device that transmits (a network time slot, a voice channel, a
// station, an IP media channel) has one transmit slot for the machine's life, numbered in
// catalogue order from 0 (never 4095, which the node keeps for itself) unless the
// configuration pins it; a device's input listens to at most one slot. Devices are named by
// their catalogue names (lower case).

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ruzd::boardsim {

class TdmBus {
public:
    // `devices` in catalogue order; `pinned` slots by device, in order. A pin of a device that
    // is not on the bus, or pinned already, or of a slot pinned already, is described in
    // `errors` and left out.
    TdmBus(const std::vector<std::string>& devices,
           const std::vector<std::pair<std::string, int32_t>>& pinned,
           std::vector<std::string>* errors);

    // The device's transmit slot; nullopt for a device that is not on the bus.
    std::optional<int32_t> SlotOf(const std::string& device) const;
    // The device transmitting on a slot, if any.
    std::optional<std::string> TransmitterOf(int32_t slot) const;

    // Connects the device's input to a slot, replacing what it heard before.
    void Listen(const std::string& device, int32_t slot);
    void Unlisten(const std::string& device);
    // The slot the device listens to, if any.
    std::optional<int32_t> Listening(const std::string& device) const;
    // Every listening device with its slot, by name.
    std::vector<std::pair<std::string, int32_t>> Listeners() const;

private:
    std::map<std::string, int32_t> slots_;
    std::map<int32_t, std::string> transmitters_;
    mutable std::mutex mutex_;
    std::map<std::string, int32_t> listening_;
};

}  // namespace ruzd::boardsim
