#pragma once

// What the station library keeps of its stations and boards: each station's hook and whether
// it rings, and per station or board the parameters and event masks the node set. Devices are
// named by their catalogue names (lower case); a station is on hook until told otherwise.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace ruzd::boardsim {

class StationLines {
public:
    // Puts the station's hook down or up; going off hook answers a ring.
    void SetOffHook(const std::string& station, bool off_hook);
    bool IsOffHook(const std::string& station) const;

    // Starts a ring; false (nothing rings) for a station off hook.
    bool Ring(const std::string& station);
    // Stops what the station runs (its ring).
    void Stop(const std::string& station);
    bool IsRinging(const std::string& station) const;

    // A board or station parameter, by kind ("board", "station") and id.
    void SetParameter(const std::string& device, const std::string& kind, uint32_t id,
                      int32_t value);
    // An event mask: the bits an event reports and how they were set.
    void SetEventMask(const std::string& device, uint32_t event, uint32_t bits, int32_t action);

    // "hook=on|off ringing=0|1 rings=<n>" and the parameters ("board:<id>=<value>",
    // "station:<id>=<value>") and masks ("mask:<event>=<bits>/<action>") set so far.
    std::string Describe(const std::string& device) const;

private:
    struct Line {
        bool off_hook = false;
        bool ringing = false;
        int rings = 0;
        std::map<std::pair<std::string, uint32_t>, int32_t> parameters;
        std::map<uint32_t, std::pair<uint32_t, int32_t>> masks;
    };

    mutable std::mutex mutex_;
    std::map<std::string, Line> lines_;
};

}  // namespace ruzd::boardsim
