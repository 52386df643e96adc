#include "node/conference_listen.h"

#include <mutex>

#include "telephony/tdm_time_slots.h"

namespace ruzd::node {

int32_t ConferencePartySlot(const ConferenceTables& conferences, int32_t conference, int32_t party,
                            int32_t partyType) {
    std::lock_guard hold(conferences.Lock());
    int32_t slot = 0;
    if (!conferences.GetPartyTimeslot(conference, party, partyType, &slot)) {
        return 0;
    }
    return slot;
}

int32_t ListenToSlot(int32_t handle, int32_t type, int32_t slot) {
    SC_TSINFO info{1, &slot};
    return telephony::ListenXTimeSlot(handle, type, &info);
}

}  // namespace ruzd::node
