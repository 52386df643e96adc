#include "node/conference_tables.h"

namespace ruzd::node {

bool ConferenceTables::GetConferenceId(int32_t conference, int32_t* id) const {
    std::lock_guard hold(lock_);
    const auto it = ids_.find(conference);
    if (it == ids_.end()) {
        return false;
    }
    *id = it->second;
    return true;
}

void ConferenceTables::SetConferenceId(int32_t conference, int32_t id) {
    std::lock_guard hold(lock_);
    ids_[conference] = id;
}

void ConferenceTables::DeleteConference(int32_t conference) {
    std::lock_guard hold(lock_);
    ids_.erase(conference);
    placeholders_.erase(conference);
    parties_.erase(conference);
}

bool ConferenceTables::HasPlaceholder(int32_t conference) const {
    std::lock_guard hold(lock_);
    const auto it = placeholders_.find(conference);
    return it != placeholders_.end() && it->second;
}

void ConferenceTables::SetPlaceholder(int32_t conference, bool placeholder) {
    std::lock_guard hold(lock_);
    placeholders_[conference] = placeholder;
}

bool ConferenceTables::GetPartyTimeslot(int32_t conference, int32_t partyLdev, int32_t partyType,
                                        int32_t* timeslot) const {
    std::lock_guard hold(lock_);
    const auto record = parties_.find(conference);
    if (record == parties_.end()) {
        return false;
    }
    const auto party = record->second.find({partyLdev, partyType});
    if (party == record->second.end()) {
        return false;
    }
    *timeslot = party->second;
    return true;
}

void ConferenceTables::SetPartyTimeslot(int32_t conference, int32_t partyLdev, int32_t partyType,
                                        int32_t timeslot) {
    std::lock_guard hold(lock_);
    parties_[conference][{partyLdev, partyType}] = timeslot;
}

void ConferenceTables::RemoveParty(int32_t conference, int32_t partyLdev, int32_t partyType) {
    std::lock_guard hold(lock_);
    const auto record = parties_.find(conference);
    if (record != parties_.end()) {
        record->second.erase({partyLdev, partyType});
    }
}

size_t ConferenceTables::PartyCount(int32_t conference) const {
    std::lock_guard hold(lock_);
    const auto record = parties_.find(conference);
    return record == parties_.end() ? 0 : record->second.size();
}

}  // namespace ruzd::node
