#pragma once

// The calls the outside world has offered to the simulated line devices, by call reference.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ruzd::boardsim {

struct SimulatedCall {
    int32_t crn = 0;
    int32_t device = 0;
    std::string dnis;  // the number called
    std::string ani;   // the number calling
};

class CallTable {
public:
    // A new call on the device; returns its call reference.
    int32_t Offer(int32_t device, std::string dnis, std::string ani);
    std::optional<SimulatedCall> Find(int32_t crn) const;
    // The newest call on the device.
    std::optional<SimulatedCall> NewestOn(int32_t device) const;
    void Remove(int32_t crn);
    size_t Count() const;

private:
    mutable std::mutex mutex_;
    std::map<int32_t, SimulatedCall> calls_;
    int32_t next_crn_ = 0x1001;
};

}  // namespace ruzd::boardsim
