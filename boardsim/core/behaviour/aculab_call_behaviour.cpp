// Call control on the Aculab cards and their IP telephony: ports opened on an open card, calls
// opened on a port's time slots and taken through their states, and the IP card's defaults.
// Records with a size field must carry their own size.

#include <algorithm>
#include <cstring>
#include <string>

#include "boardsim/core/behaviour/sized_record.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

using Call = AculabCalls::Call;
using Capability = AculabSystem::Capability;

AculabCalls& Calls() {
    return Machine::Get().aculab_calls();
}

// VMP contexts a call's media runs on: none, or contexts the media library made.
bool KnownContexts(const void* vmprx, const void* vmptx) {
    const ProsodyMedia& media = Machine::Get().prosody();
    return (vmprx == nullptr ||
            media.Is(ProsodyMedia::Kind::kVmpRx, reinterpret_cast<uintptr_t>(vmprx))) &&
           (vmptx == nullptr ||
            media.Is(ProsodyMedia::Kind::kVmpTx, reinterpret_cast<uintptr_t>(vmptx)));
}

// An incoming call that has not been answered yet.
bool Unanswered(const Call& call) {
    return !call.outgoing && (call.state == "waiting" || call.state == "ringing");
}

int32_t Ring(Call& call) {
    if (!Unanswered(call))
        return kAculabWrongState;
    call.state = "ringing";
    return 0;
}

int32_t Answer(Call& call) {
    if (!Unanswered(call))
        return kAculabWrongState;
    call.state = "connected";
    return 0;
}

// Ringing or accepting a call whose media runs on the record's VMP contexts.
template <typename Record>
int32_t WithContexts(Record* parms, int32_t (*step)(Call&)) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const tSMVMPrxId vmprx = parms->vmprx;
    const tSMVMPtxId vmptx = parms->vmptx;
    if (!KnownContexts(vmprx, vmptx))
        return kAculabBadParameter;
    return Calls().Change(parms->handle, [&](Call& call) {
        const int32_t result = step(call);
        if (result == 0) {
            call.vmprx = reinterpret_cast<uintptr_t>(vmprx);
            call.vmptx = reinterpret_cast<uintptr_t>(vmptx);
        }
        return result;
    });
}

// The IP telephony capability of a card that has it open.
const BoardConfig::AculabCard* IpTelephonyCard(int32_t card_id, int32_t* result) {
    *result = Machine::Get().aculab().Check(card_id, Capability::kIpTelephony, true);
    return *result == 0 ? Machine::Get().aculab().OpenCardOf(card_id) : nullptr;
}

}  // namespace

int32_t Behaviour<tags::call_open_port>::Run(CALL_OPEN_PORT_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    AculabSystem& cards = Machine::Get().aculab();
    const int32_t result = cards.Check(parms->card_id, Capability::kCall, true);
    if (result != 0)
        return result;
    if (parms->port_ix < 0 || parms->port_ix >= cards.OpenCardOf(parms->card_id)->net_ports)
        return kAculabBadParameter;
    return Calls().OpenPort(parms->card_id, parms->port_ix, &parms->port_id);
}

int32_t Behaviour<tags::call_close_port>::Run(CALL_PORT_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    return Calls().ClosePort(parms->port_id);
}

// The port belongs to the first card whose IP telephony is open.
int32_t Behaviour<tags::call_open_iptel_port>::Run(CALL_OPEN_IPTEL_PORT_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::optional<int32_t> card =
        Machine::Get().aculab().FirstCardWith(Capability::kIpTelephony);
    if (!card)
        return kAculabNotOpen;
    return Calls().OpenIptelPort(*card, parms->protocol, &parms->port_id);
}

int32_t Behaviour<tags::call_port_info>::Run(CALL_PORT_INFO_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::optional<AculabCalls::Port> port = Calls().PortOf(parms->port_id);
    if (!port)
        return kAculabBadParameter;
    const BoardConfig::AculabCard* card = Machine::Get().aculab().OpenCardOf(port->card_id);
    const std::string text = (port->index >= 0 ? "Simulated net port " + std::to_string(port->index)
                                               : "Simulated IP telephony port") +
                             " of card " + (card != nullptr ? card->serial : std::string("?"));
    std::memset(parms->info, 0, sizeof parms->info);
    std::memcpy(parms->info, text.data(), std::min(text.size(), sizeof parms->info - 1));
    return 0;
}

int32_t Behaviour<tags::call_openin>::Run(CALL_OPEN_IN_PARMS* parms) {
    if (!Sized(parms) || parms->ts < 0)
        return kAculabBadParameter;
    Call call;
    call.port = parms->net;
    call.slot = parms->ts;
    call.mode = parms->cnf;
    call.context = parms->context;
    call.state = "waiting";
    return Calls().Open(call, &parms->handle);
}

int32_t Behaviour<tags::call_openout>::Run(CALL_OPEN_OUT_PARMS* parms) {
    if (!Sized(parms) || parms->ts < 0 || !KnownContexts(parms->vmprx, parms->vmptx))
        return kAculabBadParameter;
    Call call;
    call.port = parms->net;
    call.slot = parms->ts;
    call.mode = parms->cnf;
    call.context = parms->context;
    call.outgoing = true;
    call.state = "outgoing";
    call.vmprx = reinterpret_cast<uintptr_t>(parms->vmprx);
    call.vmptx = reinterpret_cast<uintptr_t>(parms->vmptx);
    return Calls().Open(call, &parms->handle);
}

int32_t Behaviour<tags::call_incoming_ringing>::Run(int32_t handle) {
    return Calls().Change(handle, Ring);
}

int32_t Behaviour<tags::call_accept>::Run(int32_t handle) {
    return Calls().Change(handle, Answer);
}

int32_t Behaviour<tags::xcall_incoming_ringing>::Run(XCALL_RINGING_PARMS* parms) {
    return WithContexts(parms, Ring);
}

int32_t Behaviour<tags::xcall_accept>::Run(XCALL_ACCEPT_PARMS* parms) {
    return WithContexts(parms, Answer);
}

int32_t Behaviour<tags::call_disconnect>::Run(CALL_DISCONNECT_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    return Calls().Change(parms->handle, [parms](Call& call) {
        if (call.state == "disconnected")
            return kAculabWrongState;
        call.state = "disconnected";
        call.cause = parms->cause;
        call.raw = parms->raw;
        return 0;
    });
}

int32_t Behaviour<tags::call_release>::Run(int32_t handle) {
    return Calls().Release(handle);
}

int32_t Behaviour<tags::xcall_getcause>::Run(CALL_GETCAUSE_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::optional<Call> call = Calls().CallOf(parms->handle);
    if (!call)
        return kAculabBadParameter;
    parms->cause = call->cause;
    parms->raw = call->raw;
    return 0;
}

int32_t Behaviour<tags::ipt_card_get_media_defaults>::Run(IPT_MEDIA_DEFAULTS_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    int32_t result = 0;
    if (const BoardConfig::AculabCard* card = IpTelephonyCard(parms->card_id, &result))
        parms->tdm_encoding = card->tdm_encoding;
    return result;
}

// The card knows the defaults of H.323 alone.
int32_t Behaviour<tags::ipt_get_protocol_defaults>::Run(IPT_PROTOCOL_DEFAULTS_PARMS* parms) {
    if (!Sized(parms) || parms->protocol != ACU_IPTEL_PROTOCOL_H323)
        return kAculabBadParameter;
    int32_t result = 0;
    if (const BoardConfig::AculabCard* card = IpTelephonyCard(parms->card_id, &result))
        parms->fast_start = card->fast_start;
    return result;
}

int32_t Behaviour<tags::ipt_set_dtmf_handling>::Run(IPT_DTMF_HANDLING_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const int32_t mode = parms->mode;
    return Calls().Change(parms->handle, [mode](Call& call) {
        call.dtmf = mode;
        return 0;
    });
}

}  // namespace ruzd::boardsim
