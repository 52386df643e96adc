// The Prosody media of the Aculab cards: channels placed on open modules, switched and joined
// into echo cancellers, and the VMP and TDM contexts with their data feeds. The library's ids
// are the media's own numbers handed out as its opaque pointers.

#include <cstdio>
#include <cstring>
#include <string>

#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

using Id = ProsodyMedia::Id;
using Kind = ProsodyMedia::Kind;

ProsodyMedia& Media() {
    return Machine::Get().prosody();
}

template <typename Pointer>
Id IdOf(Pointer pointer) {
    return reinterpret_cast<Id>(pointer);
}

template <typename Pointer>
Pointer PointerOf(Id id) {
    return reinterpret_cast<Pointer>(id);
}

// A context made on a module (and, for a TDM context, a stream and slot), its id written back.
template <typename Pointer, typename Record>
int32_t Create(Kind kind, Record* parms, Pointer Record::*id, int32_t stream, int32_t slot) {
    Id made = 0;
    const int32_t result = Media().CreateContext(kind, parms->module, stream, slot, &made);
    if (result == 0)
        parms->*id = PointerOf<Pointer>(made);
    return result;
}

template <typename Pointer, typename Record>
int32_t FeedOf(Kind kind, Record* parms, Pointer Record::*id) {
    if (parms == nullptr)
        return kAculabBadParameter;
    Id feed = 0;
    const int32_t result = Media().Datafeed(kind, IdOf(parms->*id), &feed);
    if (result == 0)
        parms->datafeed = PointerOf<tSMDataFeedId>(feed);
    return result;
}

int32_t Adjust(SM_CONDITION_ADJUST_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Adjust(IdOf(parms->channel), parms->adjustment);
}

// A port as the socket address holds it, in network byte order.
uint16_t HostPort(uint16_t network) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&network);
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::string AddressText(const SM_SOCKADDR& address) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address.address);
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", bytes[0], bytes[1], bytes[2], bytes[3],
                  HostPort(address.port));
    return text;
}

}  // namespace

int32_t Behaviour<tags::sm_channel_alloc_placed_iPsCte1_4_Mti_>::Run(
    SM_CHANNEL_ALLOC_PLACED_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    Id channel = 0;
    const int32_t result = Media().AllocateChannel(parms->module, parms->type, &channel);
    if (result == 0)
        parms->channel = PointerOf<tSMChannelId>(channel);
    return result;
}

int32_t Behaviour<tags::sm_switch_channel_input_iPsCtiie1_3__>::Run(
    SM_SWITCH_CHANNEL_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().SwitchChannel(IdOf(parms->channel), Kind::kInput, parms->st, parms->ts);
}

int32_t Behaviour<tags::sm_switch_channel_output_iPsCtiie1_3__>::Run(
    SM_SWITCH_CHANNEL_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().SwitchChannel(IdOf(parms->channel), Kind::kOutput, parms->st, parms->ts);
}

int32_t Behaviour<tags::sm_channel_release_iCt>::Run(tSMChannelId channel) {
    return Media().ReleaseChannel(IdOf(channel));
}

int32_t Behaviour<tags::sm_play_digits_iPsCtise1_1_icr33ii__>::Run(SM_PLAY_DIGITS_PARMS* parms) {
    if (parms == nullptr || parms->type != kSMDigitTypeDtmf)
        return kAculabBadParameter;
    return Media().PlayDigits(
        IdOf(parms->channel),
        std::string(parms->digits, strnlen(parms->digits, sizeof parms->digits)));
}

int32_t Behaviour<tags::sm_condition_input_iPsCtCte1_3_e1_2_iCte1_3_ifiUiPf_>::Run(
    SM_CONDITION_INPUT_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().ConditionInput(IdOf(parms->channel), IdOf(parms->reference),
                                  IdOf(parms->alt_data_dest));
}

int32_t Behaviour<tags::sm_condition_adjust_iPsCte1_4_i_>::Run(SM_CONDITION_ADJUST_PARMS* parms) {
    return Adjust(parms);
}

int32_t Behaviour<tags::sm_condition_adjust_iPsCte1_3_i_>::Run(SM_CONDITION_ADJUST_PARMS* parms) {
    return Adjust(parms);
}

int32_t Behaviour<tags::sm_condition_adjust_span_iPsCti_>::Run(
    SM_CONDITION_ADJUST_SPAN_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().AdjustSpan(IdOf(parms->channel), parms->span);
}

int32_t Behaviour<tags::sm_vmprx_create_iPsVrMtSId_>::Run(SM_VMPRX_CREATE_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Create(Kind::kVmpRx, parms, &SM_VMPRX_CREATE_PARMS::vmprx, 0, 0);
}

int32_t Behaviour<tags::sm_vmptx_create_iPsVtMt_>::Run(SM_VMPTX_CREATE_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Create(Kind::kVmpTx, parms, &SM_VMPTX_CREATE_PARMS::vmptx, 0, 0);
}

int32_t Behaviour<tags::sm_tdmrx_create_iPsTrMtiie1_3__>::Run(SM_TDMRX_CREATE_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Create(Kind::kTdmRx, parms, &SM_TDMRX_CREATE_PARMS::tdmrx, parms->stream,
                  parms->timeslot);
}

int32_t Behaviour<tags::sm_tdmtx_create_iPsTtMtiie1_3__>::Run(SM_TDMTX_CREATE_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Create(Kind::kTdmTx, parms, &SM_TDMTX_CREATE_PARMS::tdmtx, parms->stream,
                  parms->timeslot);
}

int32_t Behaviour<tags::sm_vmprx_get_ports_iPsVriiSIdUi_>::Run(SM_VMPRX_PORTS_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Ports(IdOf(parms->vmprx), &parms->rtp_port, &parms->rtcp_port);
}

int32_t Behaviour<tags::sm_vmprx_destroy_iVr>::Run(tSMVMPrxId vmprx) {
    return Media().DestroyContext(Kind::kVmpRx, IdOf(vmprx));
}

int32_t Behaviour<tags::sm_vmptx_destroy_iVt>::Run(tSMVMPtxId vmptx) {
    return Media().DestroyContext(Kind::kVmpTx, IdOf(vmptx));
}

int32_t Behaviour<tags::sm_tdmrx_destroy_iTr>::Run(tSMTDMrxId tdmrx) {
    return Media().DestroyContext(Kind::kTdmRx, IdOf(tdmrx));
}

int32_t Behaviour<tags::sm_tdmtx_destroy_iTt>::Run(tSMTDMtxId tdmtx) {
    return Media().DestroyContext(Kind::kTdmTx, IdOf(tdmtx));
}

int32_t Behaviour<tags::sm_vmprx_stop_iPsVr_>::Run(SM_VMPRX_CONTEXT_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().StopContext(Kind::kVmpRx, IdOf(parms->vmprx));
}

int32_t Behaviour<tags::sm_vmptx_stop_iPsVt_>::Run(SM_VMPTX_CONTEXT_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().StopContext(Kind::kVmpTx, IdOf(parms->vmptx));
}

int32_t Behaviour<tags::sm_vmprx_get_datafeed_iPsVrDt_>::Run(SM_VMPRX_DATAFEED_PARMS* parms) {
    return FeedOf(Kind::kVmpRx, parms, &SM_VMPRX_DATAFEED_PARMS::vmprx);
}

int32_t Behaviour<tags::sm_tdmrx_get_datafeed_iPsTrDt_>::Run(SM_TDMRX_DATAFEED_PARMS* parms) {
    return FeedOf(Kind::kTdmRx, parms, &SM_TDMRX_DATAFEED_PARMS::tdmrx);
}

int32_t Behaviour<tags::sm_vmptx_datafeed_connect_iPsDtVt_>::Run(
    SM_VMPTX_DATAFEED_CONNECT_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Connect(Kind::kVmpTx, IdOf(parms->vmptx), IdOf(parms->data_source));
}

int32_t Behaviour<tags::sm_tdmtx_datafeed_connect_iPsDtTt_>::Run(
    SM_TDMTX_DATAFEED_CONNECT_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Connect(Kind::kTdmTx, IdOf(parms->tdmtx), IdOf(parms->data_source));
}

int32_t Behaviour<tags::sm_vmptx_config_iPsVtSAdSAdiSAdSAdi_>::Run(SM_VMPTX_CONFIG_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Configure(Kind::kVmpTx, IdOf(parms->vmptx),
                             "rtp=" + AddressText(parms->destination_rtp) +
                                 ":rtcp=" + AddressText(parms->destination_rtcp));
}

int32_t Behaviour<tags::sm_vmprx_config_codec_iPsVre1_5_ie1_2__>::Run(SM_VMPRX_CODEC_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Configure(
        Kind::kVmpRx, IdOf(parms->vmprx),
        "codec=" + std::to_string(parms->codec) + "/" + std::to_string(parms->payload_type));
}

int32_t Behaviour<tags::sm_vmptx_config_codec_iPsVte1_5_ie1_3_i_>::Run(
    SM_VMPTX_CODEC_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Configure(Kind::kVmpTx, IdOf(parms->vmptx),
                             "codec=" + std::to_string(parms->codec) + "/" +
                                 std::to_string(parms->payload_type) + "/" +
                                 std::to_string(parms->ptime) + "ms");
}

int32_t Behaviour<tags::sm_vmprx_config_tones_iPsVrii_>::Run(SM_VMPRX_TONES_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Media().Configure(
        Kind::kVmpRx, IdOf(parms->vmprx),
        "tones=" + std::to_string(parms->detect) + "/" + std::to_string(parms->regenerate));
}

}  // namespace ruzd::boardsim
