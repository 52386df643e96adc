// What the Aculab cards report: the calls' events and details, the system notifications, the
// Prosody IP cards registered and their states, and the IP cards' notifications, information
// and statistics. The control socket queues the events and sets the rest
// (aculab_events.h). Records with a size field must carry their own size.

#include <algorithm>
#include <cstring>
#include <string>

#include "boardsim/core/behaviour/sized_record.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

AculabEvents& Events() {
    return Machine::Get().aculab_events();
}

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// The open card behind an IP card record, or the error.
template <typename Record>
int32_t OpenIpCard(const Record* parms, std::string* serial) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const BoardConfig::AculabCard* card = Machine::Get().aculab().OpenCardOf(parms->card_id);
    if (card == nullptr)
        return kAculabNotOpen;
    *serial = card->serial;
    return 0;
}

}  // namespace

// Waits up to the record's time-out; a call that is gone by then reports context 0.
int32_t Behaviour<tags::call_event>::Run(STATE_XPARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::optional<AculabEvents::CallEvent> event = Events().WaitCallEvent(parms->timeout);
    parms->handle = 0;
    if (!event)
        return 0;
    const std::optional<AculabCalls::Call> call =
        Machine::Get().aculab_calls().CallOf(event->handle);
    parms->handle = event->handle;
    parms->state = event->state;
    parms->value = event->value;
    parms->context = call ? call->context : 0;
    return 0;
}

int32_t Behaviour<tags::call_details>::Run(DETAIL_XPARMS* parms) {
    if (!Sized(parms) || !Machine::Get().aculab_calls().CallOf(parms->handle))
        return kAculabBadParameter;
    const AculabEvents::CallDetails details = Events().DetailsOf(parms->handle);
    parms->valid = details.valid;
    parms->stream = details.stream;
    parms->ts = details.slot;
    return 0;
}

// Kind 0 when nothing is waiting.
int32_t Behaviour<tags::acu_get_system_notification>::Run(ACU_SYSTEM_NOTIFICATION_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::optional<AculabEvents::SystemNotification> notification =
        Events().TakeSystemNotification();
    parms->kind = notification ? notification->kind : 0;
    CopyText(parms->serial_no, notification ? notification->serial : std::string());
    return 0;
}

// The cards whose net ports are Prosody IP ports, in their order.
int32_t Behaviour<tags::acu_prosody_ip_get_registered_cards>::Run(
    ACU_PROSODY_IP_REGISTERED_CARDS_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    parms->count = 0;
    for (const BoardConfig::AculabCard& card : Machine::Get().aculab().Cards()) {
        if (card.net_port_type != ACU_NETPORT_PROSODY_IP ||
            parms->count == std::size(parms->serial_no))
            continue;
        CopyText(parms->serial_no[parms->count++], card.serial);
    }
    return 0;
}

int32_t Behaviour<tags::acu_prosody_ip_card_status>::Run(ACU_PROSODY_IP_CARD_STATUS_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::string serial(parms->serial_no, strnlen(parms->serial_no, sizeof parms->serial_no));
    const auto& cards = Machine::Get().aculab().Cards();
    if (std::none_of(cards.begin(), cards.end(),
                     [&](const BoardConfig::AculabCard& card) { return card.serial == serial; }))
        return kAculabNoSuchCard;
    CopyText(parms->state, Events().StatusOf(serial));
    return 0;
}

int32_t Behaviour<tags::ipt_get_card_notification>::Run(IPT_CARD_NOTIFICATION_PARMS* parms) {
    std::string serial;
    const int32_t result = OpenIpCard(parms, &serial);
    if (result == 0)
        parms->notification = Events().TakeNotification(serial);
    return result;
}

int32_t Behaviour<tags::ipt_card_info>::Run(IPT_CARD_INFO_PARMS* parms) {
    std::string serial;
    const int32_t result = OpenIpCard(parms, &serial);
    if (result == 0) {
        std::memset(parms->info, 0, sizeof parms->info);
        const std::string text = "Simulated IP card " + serial;
        std::memcpy(parms->info, text.data(), std::min(text.size(), sizeof parms->info - 1));
    }
    return result;
}

int32_t Behaviour<tags::ipt_card_get_if_stats>::Run(IPT_IF_STATS_PARMS* parms) {
    std::string serial;
    const int32_t result = OpenIpCard(parms, &serial);
    if (result != 0)
        return result;
    const AculabEvents::Statistics statistics = Events().StatisticsOf(serial);
    parms->packets_in = statistics.counters[0];
    parms->discards_in = statistics.counters[1];
    parms->errors_in = statistics.counters[2];
    parms->packets_out = statistics.counters[3];
    parms->discards_out = statistics.counters[4];
    parms->errors_out = statistics.counters[5];
    return 0;
}

}  // namespace ruzd::boardsim
