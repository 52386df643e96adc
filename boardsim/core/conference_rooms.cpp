#include "boardsim/core/conference_rooms.h"

#include <cstdio>

namespace ruzd::boardsim {
namespace {

// The station boards' conference ids: two ranges, each end exclusive.
constexpr uint32_t kStationIdRanges[][3] = {{0x150001, 0x15000F, 1},
                                            {0x1140100, 0xF140100, 0x1000000}};
// The node's digit relay keeps this slot for itself.
constexpr int32_t kReservedSlot = 4095;

std::string Name(const char* format, int board, int sub = 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, board, sub);
    return buffer;
}

}  // namespace

ConferenceRooms::ConferenceRooms(const BoardConfig& config, const TdmBus& bus) : bus_(bus) {
    for (int b = 1; b <= config.station.count; ++b) {
        station_boards_.insert(Name("msib%d", b));
        resources_[Name("msib%d", b)] = config.station_resources;
    }
    for (int b = 1; b <= config.conference.count; ++b) {
        for (int d = 1; d <= config.conference.subdevices; ++d)
            resources_[Name("dcbb%dd%d", b, d)] = config.conference_parties;
    }
    for (const auto& [device, count] : config.leftovers) {
        for (int i = 0; i < count; ++i) {
            int32_t id = 0;
            Establish(device, nullptr, 0, 0, &id);
        }
    }
}

bool ConferenceRooms::IsStationBoard(const std::string& device) const {
    return station_boards_.count(device) != 0;
}

std::optional<int32_t> ConferenceRooms::NextId(const std::string& device) {
    if (!IsStationBoard(device))
        return ++next_dsp_id_[device];
    for (const auto& range : kStationIdRanges) {
        for (uint32_t id = range[0]; id < range[1]; id += range[2]) {
            if (conferences_.count({device, static_cast<int32_t>(id)}) == 0)
                return static_cast<int32_t>(id);
        }
    }
    return std::nullopt;
}

int32_t ConferenceRooms::UsedResources(const std::string& device) const {
    int32_t used = 0;
    for (const auto& [key, conference] : conferences_) {
        if (key.first == device)
            used += static_cast<int32_t>(conference.parties.size());
    }
    return used;
}

int32_t ConferenceRooms::TakeListenSlot() {
    int32_t slot = 0;
    while (slot == kReservedSlot || listen_slots_.count(slot) != 0 || bus_.TransmitterOf(slot))
        ++slot;
    listen_slots_.insert(slot);
    return slot;
}

void ConferenceRooms::FreeListenSlots(const Conference& conference) {
    for (const Party& party : conference.parties)
        listen_slots_.erase(party.listen_slot);
}

ConferenceRooms::Conference* ConferenceRooms::Find(const std::string& device, int32_t id) {
    const auto found = conferences_.find({device, id});
    return found == conferences_.end() ? nullptr : &found->second;
}

int32_t ConferenceRooms::Establish(const std::string& device, MS_CDT* parties, int32_t count,
                                   int32_t attribute, int32_t* id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto resources = resources_.find(device);
    if (resources == resources_.end() || id == nullptr || count < 0 ||
        (count > 0 && parties == nullptr))
        return EDV_BADPARM;
    if (resources->second - UsedResources(device) < count)
        return EDV_BUSY;
    const std::optional<int32_t> new_id = NextId(device);
    if (!new_id)
        return EDV_BUSY;
    Conference conference{device, *new_id, attribute, {}};
    for (int32_t i = 0; i < count; ++i) {
        const Party party{parties[i].chan_num, parties[i].chan_sel, parties[i].chan_attr,
                          TakeListenSlot()};
        parties[i].chan_attr = party.listen_slot;
        conference.parties.push_back(party);
    }
    conferences_[{device, *new_id}] = std::move(conference);
    *id = *new_id;
    return 0;
}

int32_t ConferenceRooms::Add(const std::string& device, int32_t id, MS_CDT* party) {
    std::lock_guard<std::mutex> lock(mutex_);
    Conference* conference = Find(device, id);
    if (conference == nullptr || party == nullptr)
        return EDV_BADPARM;
    if (resources_[device] - UsedResources(device) < 1)
        return EDV_BUSY;
    const Party joined{party->chan_num, party->chan_sel, party->chan_attr, TakeListenSlot()};
    party->chan_attr = joined.listen_slot;
    conference->parties.push_back(joined);
    return 0;
}

int32_t ConferenceRooms::Remove(const std::string& device, int32_t id, const MS_CDT& party) {
    std::lock_guard<std::mutex> lock(mutex_);
    Conference* conference = Find(device, id);
    if (conference == nullptr)
        return EDV_BADPARM;
    for (auto it = conference->parties.begin(); it != conference->parties.end(); ++it) {
        if (it->channel == party.chan_num && it->selector == party.chan_sel) {
            listen_slots_.erase(it->listen_slot);
            conference->parties.erase(it);
            return 0;
        }
    }
    return EDV_BADPARM;
}

int32_t ConferenceRooms::SetAttribute(const std::string& device, int32_t id, const MS_CDT& party) {
    std::lock_guard<std::mutex> lock(mutex_);
    Conference* conference = Find(device, id);
    if (conference == nullptr)
        return EDV_BADPARM;
    for (Party& member : conference->parties) {
        if (member.channel == party.chan_num && member.selector == party.chan_sel) {
            member.attribute = party.chan_attr;
            return 0;
        }
    }
    return EDV_BADPARM;
}

int32_t ConferenceRooms::Delete(const std::string& device, int32_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Conference* conference = Find(device, id);
    if (conference == nullptr)
        return EDV_BADPARM;
    FreeListenSlots(*conference);
    conferences_.erase({device, id});
    return 0;
}

void ConferenceRooms::DeleteAll(const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = conferences_.begin(); it != conferences_.end();) {
        if (it->first.first == device) {
            FreeListenSlots(it->second);
            it = conferences_.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<int32_t> ConferenceRooms::FreeResources(const std::string& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto resources = resources_.find(device);
    if (resources == resources_.end())
        return std::nullopt;
    return resources->second - UsedResources(device);
}

bool ConferenceRooms::SetResources(const std::string& device, int32_t resources) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = resources_.find(device);
    if (found == resources_.end())
        return false;
    found->second = resources;
    return true;
}

std::vector<ConferenceRooms::Conference> ConferenceRooms::Conferences(
    const std::string& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Conference> conferences;
    for (const auto& [key, conference] : conferences_) {
        if (device.empty() || key.first == device)
            conferences.push_back(conference);
    }
    return conferences;
}

}  // namespace ruzd::boardsim
