#pragma once

// The conferences of the station boards ("msiB1") and of the conference boards' DSPs
// ("dcbB1D2"). Each such device holds a number of conference resources; every party of every
// conference on it takes one. A party joins as its descriptor says (channel number, selector,
// attribute) and hears the conference on a listen slot of the TDM bus that the conference takes
// for it: a slot on which no device transmits. Devices are named by their catalogue names
// (lower case).
//
// Conference ids: a station board hands out those of two ranges (0x150001 to 0x15000E, then
// 0x1140100 upwards in steps of 0x1000000, 28 in all); a DSP counts from 1.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "boardsim/core/board_config.h"
#include "boardsim/core/tdm_bus.h"
#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {

class ConferenceRooms {
public:
    struct Party {
        int32_t channel = 0;
        int32_t selector = 0;
        int32_t attribute = 0;
        int32_t listen_slot = -1;
    };
    struct Conference {
        std::string device;
        int32_t id = 0;
        int32_t attribute = 0;
        std::vector<Party> parties;
    };

    // Station boards get the configured station resources, DSPs the configured conference
    // parties; the configured leftovers are set up at once, without parties.
    ConferenceRooms(const BoardConfig& config, const TdmBus& bus);

    // Each returns 0 or the device error that refuses the request: EDV_BADPARM for an unknown
    // conference or party or a bad party list, EDV_BUSY when the device has not the resources
    // or the ids left.

    // A new conference with `count` parties, whose descriptors get their listen slots in the
    // attribute field.
    int32_t Establish(const std::string& device, MS_CDT* parties, int32_t count, int32_t attribute,
                      int32_t* id);
    // Adds one party; its descriptor's attribute field gets its listen slot.
    int32_t Add(const std::string& device, int32_t id, MS_CDT* party);
    // Removes the party of the descriptor's channel number and selector.
    int32_t Remove(const std::string& device, int32_t id, const MS_CDT& party);
    // Changes the attribute of the party of the descriptor's channel number and selector.
    int32_t SetAttribute(const std::string& device, int32_t id, const MS_CDT& party);
    int32_t Delete(const std::string& device, int32_t id);
    // Deletes every conference of the device.
    void DeleteAll(const std::string& device);

    // Resources not taken by parties; nullopt for a device that holds none.
    std::optional<int32_t> FreeResources(const std::string& device) const;
    // false for a device that holds no conference resources.
    bool SetResources(const std::string& device, int32_t resources);

    // The conferences, of one device or of all, in order of device and id.
    std::vector<Conference> Conferences(const std::string& device = std::string()) const;

private:
    bool IsStationBoard(const std::string& device) const;
    std::optional<int32_t> NextId(const std::string& device);
    int32_t UsedResources(const std::string& device) const;
    int32_t TakeListenSlot();
    void FreeListenSlots(const Conference& conference);
    Conference* Find(const std::string& device, int32_t id);

    const TdmBus& bus_;
    mutable std::mutex mutex_;
    std::map<std::string, int32_t> resources_;
    std::set<std::string> station_boards_;
    std::map<std::string, int32_t> next_dsp_id_;
    std::map<std::pair<std::string, int32_t>, Conference> conferences_;
    std::set<int32_t> listen_slots_;
};

}  // namespace ruzd::boardsim
