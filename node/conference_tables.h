#pragma once

// The conferences the node built on the station and conference boards, named by the central
// server's conference line device number: the vendor's conference id, whether the conference
// still holds the placeholder party it was made with, and per party (party line device number,
// party device type) the bus time slot on which that party hears the conference. An Amtelco
// position is a party of device type 999 named by its tx number.
//
// All of it is kept under one lock, the conference lock, which a caller may also hold across
// several operations.

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace ruzd::node {

class ConferenceTables {
public:
    // The vendor's conference id; false when the conference is unknown.
    bool GetConferenceId(int32_t conference, int32_t* id) const;
    void SetConferenceId(int32_t conference, int32_t id);
    // Forgets the conference: its id, its placeholder flag and its parties.
    void DeleteConference(int32_t conference);

    // Whether the conference still holds its placeholder party (false when unknown).
    bool HasPlaceholder(int32_t conference) const;
    void SetPlaceholder(int32_t conference, bool placeholder);

    // The listen time slot of a party; false when the conference or the party is unknown.
    bool GetPartyTimeslot(int32_t conference, int32_t partyLdev, int32_t partyType,
                          int32_t* timeslot) const;
    // Records (or replaces) a party, creating the conference's party record when missing.
    void SetPartyTimeslot(int32_t conference, int32_t partyLdev, int32_t partyType,
                          int32_t timeslot);
    void RemoveParty(int32_t conference, int32_t partyLdev, int32_t partyType);
    // The number of parties recorded for the conference.
    size_t PartyCount(int32_t conference) const;

    std::recursive_mutex& Lock() const { return lock_; }

private:
    using Party = std::pair<int32_t, int32_t>;  // line device number, device type

    mutable std::recursive_mutex lock_;
    std::map<int32_t, int32_t> ids_;
    std::map<int32_t, bool> placeholders_;
    std::map<int32_t, std::map<Party, int32_t>> parties_;
};

}  // namespace ruzd::node
