#include "telephony/vmp_contexts.h"

#include <mutex>
#include <optional>

#include "telephony/aculab_cards.h"
#include "telephony/aculab_ip_channel.h"
#include "telephony/prosody_placement.h"
#include "telephony/vendorapi/aculab.h"
#include "telephony/vendorapi/prosody.h"

namespace ruzd::telephony {
namespace {

// The echo canceller's slots beside the channel's own slot T.
constexpr int32_t kCancellerInputOffset = 1;
constexpr int32_t kCancellerReferenceOffset = 2;
constexpr int32_t kCancellerOutputOffset = 3;
// How the canceller is built: its reference is a plain input, it cancels echo, and its output
// goes to an output channel.
constexpr int32_t kReferenceTypeInput = 1;
constexpr int32_t kConditioningEchoCancel = 1;
constexpr int32_t kAlternativeDestinationOutput = 2;
constexpr int32_t kCancellerSpan = 200;

// A Prosody channel placed on the module, of input or output type. The record is zeroed first,
// so that a failed allocation gives no channel but null.
tSMChannelId AllocatePlaced(CHardware& hardware, int32_t ldev, tSMModuleId module, int32_t type,
                            const char* failure) {
    SM_CHANNEL_ALLOC_PLACED_PARMS record{};
    record.type = type;
    record.module = module;
    const int32_t result = hardware.sm_channel_alloc_placed(&record);
    if (result != 0) {
        IpChannelTrace(ldev, failure, static_cast<long>(result));
    }
    return record.channel;
}

void SwitchChannel(CHardware& hardware, int32_t ldev, bool input, tSMChannelId channel,
                   int32_t stream, int32_t slot, const char* failure) {
    SM_SWITCH_CHANNEL_PARMS record{};
    record.channel = channel;
    record.st = stream;
    record.ts = slot;
    const int32_t result = input ? hardware.sm_switch_channel_input(&record)
                                 : hardware.sm_switch_channel_output(&record);
    if (result != 0) {
        IpChannelTrace(ldev, failure, static_cast<long>(result));
    }
}

int32_t SetOutput(CHardware& hardware, int32_t card, int32_t stream, int32_t slot, int32_t mode,
                  int32_t input_slot) {
    OUTPUT_PARMS record{};
    record.size = sizeof record;
    record.ost = stream;
    record.ots = slot;
    record.mode = mode;
    if (mode == CONNECT_MODE) {
        record.ist = stream;
        record.its = input_slot;
    } else {
        record.pattern = ALAW_IDLE_PATTERN;
    }
    return hardware.sw_set_output(card, &record);
}

// The canceller's three channels, switched on the channel's slots and joined into one echo
// canceller; its output reaches the channel's slot and the channel's slot its reference.
int32_t BuildEchoCanceller(const AculabIpChannel& channel, int32_t ldev,
                           const ProsodyPlace& place) {
    CHardware& hardware = *channel.hardware;
    AculabChannelStore& manager = *channel.manager;
    const int32_t stream = place.stream;
    const int32_t slot = place.slot;

    tSMChannelId input = AllocatePlaced(hardware, ldev, place.module, kSMChannelTypeInput,
                                        "Error: sm_channel_alloc_placed for echo can in %ld");
    manager.SetEchoCancelIn(channel.handle, input);
    SwitchChannel(hardware, ldev, true, input, stream, slot + kCancellerInputOffset,
                  "Error: sm_switch_channel_input for echo can in %ld");
    tSMChannelId reference = AllocatePlaced(hardware, ldev, place.module, kSMChannelTypeInput,
                                            "Error: sm_channel_alloc_placed for echo can ref %ld");
    manager.SetEchoCancelRef(channel.handle, reference);
    SwitchChannel(hardware, ldev, true, reference, stream, slot + kCancellerReferenceOffset,
                  "Error: sm_switch_channel_input for echo can ref %ld");
    tSMChannelId output = AllocatePlaced(hardware, ldev, place.module, kSMChannelTypeOutput,
                                         "Error: sm_channel_alloc_placed for echo can out %ld");
    manager.SetEchoCancelOut(channel.handle, output);
    SwitchChannel(hardware, ldev, false, output, stream, slot + kCancellerOutputOffset,
                  "Error: sm_switch_channel_output for echo can out %ld");

    const int32_t card = place.card_id;
    const int32_t toChannel =
        SetOutput(hardware, card, stream, slot, CONNECT_MODE, slot + kCancellerOutputOffset);
    IpChannelTrace(ldev, "HalfDuplex Routing Echo Cancel Output from %d -> Isdn=%d %d", ldev, ldev,
                   toChannel);
    const int32_t toReference =
        SetOutput(hardware, card, stream, slot + kCancellerReferenceOffset, CONNECT_MODE, slot);
    IpChannelTrace(ldev, "HalfDuplex Routing Isdn=%d -> Echo Cancel REF from %ld %d", ldev,
                   static_cast<long>(ldev), toReference);

    SM_CONDITION_INPUT_PARMS condition{};
    condition.channel = input;
    condition.reference = reference;
    condition.reference_type = kReferenceTypeInput;
    condition.conditioning_type = kConditioningEchoCancel;
    condition.alt_data_dest = output;
    condition.alt_dest_type = kAlternativeDestinationOutput;
    int32_t result = hardware.sm_condition_input(&condition);
    if (result != 0) {
        IpChannelTrace(ldev, "Error build cancel echo %ld", static_cast<long>(result));
    }
    struct Adjustment {
        int32_t adjustment;
        const char* failure;
    };
    for (const Adjustment& adjust :
         {Adjustment{kSMConditionAdjustNonLinear, "Error adjust cancel echo to non linear %ld"},
          Adjustment{kSMConditionAdjustAGC, "Error adjust cancel echo to AGC %ld"},
          Adjustment{kSMConditionAdjustVariableAGC,
                     "Error adjust cancel echo to variable AGC %ld"}}) {
        SM_CONDITION_ADJUST_PARMS record{};
        record.channel = input;
        record.adjustment = adjust.adjustment;
        record.value = 1;
        result = hardware.sm_condition_adjust(&record);
        if (result != 0) {
            IpChannelTrace(ldev, adjust.failure, static_cast<long>(result));
        }
    }
    SM_CONDITION_ADJUST_SPAN_PARMS span{};
    span.channel = input;
    span.span = kCancellerSpan;
    result = hardware.sm_condition_adjust_span(&span);
    if (result != 0) {
        IpChannelTrace(ldev, "Error adjust cancel echo span %ld", static_cast<long>(result));
    }

    // Silence into the canceller's input slot until the channel is routed to a device.
    result = SetOutput(hardware, card, stream, slot + kCancellerInputOffset, PATTERN_MODE, 0);
    if (result != 0) {
        IpChannelTrace(ldev, "Error silence input %ld", static_cast<long>(result));
    }
    return result;
}

// The first failure of one step of the VMP set-up, logged; 0 goes on.
bool Failed(int32_t ldev, int32_t result, const char* failure) {
    if (result == 0) {
        return false;
    }
    IpChannelTrace(ldev, failure, static_cast<long>(result));
    return true;
}

// A step of the teardown: its failure is logged, and the teardown goes on.
int32_t Teardown(int32_t ldev, int32_t result, const char* failure) {
    if (result != 0) {
        IpChannelTrace(ldev, failure, result);
    }
    return result;
}

// The ports of the channel's VMP receive context; the call's result. The ports are not kept.
int32_t AskPorts(const std::optional<AculabIpChannel>& channel) {
    if (!channel || channel->hardware == nullptr) {
        return -1;
    }
    SM_VMPRX_PORTS_PARMS ports{};
    ports.vmprx = channel->manager->GetVMPrxId(channel->handle);
    return channel->hardware->sm_vmprx_get_ports(&ports);
}

int32_t PrepareChannel(const std::optional<AculabIpChannel>& channel, int32_t ldev) {
    if (!channel || channel->hardware == nullptr) {
        return -1;
    }
    std::optional<ProsodyPlace> place;
    {
        AculabCardList& cards = AculabCards();
        std::lock_guard hold(cards.Lock());
        place = FindProsodyPlace(ldev);
        if (place) {
            if (channel->manager->GetAculabCardIndex(channel->handle) != place->card_id) {
                IpChannelTrace(ldev, "Prepare_port_forVMP : Wrong CardId");
                return -1;
            }
            AculabChannelStore& manager = *channel->manager;
            manager.SetProsodyModule(channel->handle, place->module);
            manager.SetAculabCardSerial(channel->handle, place->card_info);
            manager.SetProsodyStream(channel->handle, place->stream);
            manager.SetProsodyTimeslot(channel->handle, place->slot);
        }
    }
    if (!place) {
        IpChannelTrace(ldev, "Could not reserve a VMP because not enough Hardware");
        return -1;
    }
    return BuildEchoCanceller(*channel, ldev, *place);
}

int32_t ReleaseCanceller(const std::optional<AculabIpChannel>& channel, int32_t ldev) {
    if (!channel) {
        return -1;
    }
    if (channel->hardware == nullptr) {
        return 0;
    }
    AculabChannelStore& manager = *channel->manager;
    struct Part {
        tSMChannelId_struct* (AculabChannelStore::*get)(int32_t) const;
        void (AculabChannelStore::*set)(int32_t, tSMChannelId_struct*);
        const char* failure;
    };
    int32_t result = 0;
    for (const Part& part :
         {Part{&AculabChannelStore::GetEchoCancelIn, &AculabChannelStore::SetEchoCancelIn,
               "Error release cancel echo in %ld"},
          Part{&AculabChannelStore::GetEchoCancelRef, &AculabChannelStore::SetEchoCancelRef,
               "Error release cancel echo ref %ld"},
          Part{&AculabChannelStore::GetEchoCancelOut, &AculabChannelStore::SetEchoCancelOut,
               "Error release cancel echo out %ld"}}) {
        if (tSMChannelId id = (manager.*part.get)(channel->handle)) {
            result = channel->hardware->sm_channel_release(id);
            if (result != 0) {
                IpChannelTrace(ldev, part.failure, static_cast<long>(result));
            }
        }
        (manager.*part.set)(channel->handle, nullptr);
    }
    return result;
}

int32_t ReserveContexts(const std::optional<AculabIpChannel>& found, int32_t ldev) {
    if (!found || found->hardware == nullptr) {
        return -1;
    }
    CHardware& hardware = *found->hardware;
    AculabChannelStore& manager = *found->manager;
    const int32_t handle = found->handle;
    const int32_t module = manager.GetProsodyModule(handle);

    SM_VMPRX_CREATE_PARMS receive{};
    receive.module = module;
    int32_t result = hardware.sm_vmprx_create(&receive);
    if (Failed(ldev, result, "Error in sm_vmprx_create %ld")) {
        return result;
    }
    manager.SetVMPrxId(handle, receive.vmprx);
    if (const int32_t ports = AskPorts(found); ports != 0) {
        IpChannelTrace(ldev, "Error in sm_vmprx_get_ports %ld", static_cast<long>(ports));
    }

    SM_VMPTX_CREATE_PARMS transmit{};
    transmit.module = module;
    result = hardware.sm_vmptx_create(&transmit);
    if (Failed(ldev, result, "Error in sm_vmptx_create %ld")) {
        return result;
    }
    manager.SetVMPtxId(handle, transmit.vmptx);

    // The channel's slot into the network.
    SM_TDMRX_CREATE_PARMS fromSlot{};
    fromSlot.module = module;
    fromSlot.stream = manager.GetProsodyStream(handle);
    fromSlot.timeslot = manager.GetProsodyTimeslot(handle);
    result = hardware.sm_tdmrx_create(&fromSlot);
    if (Failed(ldev, result, "Error: sm_tdmrx_create() failed %ld")) {
        return result;
    }
    manager.SetTDMrxId(handle, fromSlot.tdmrx);
    SM_TDMRX_DATAFEED_PARMS slotFeed{};
    slotFeed.tdmrx = fromSlot.tdmrx;
    result = hardware.sm_tdmrx_get_datafeed(&slotFeed);
    if (Failed(ldev, result, "Error: sm_tdmrx_get_datafeed() failed %ld")) {
        return result;
    }
    SM_VMPTX_DATAFEED_CONNECT_PARMS toNetwork{};
    toNetwork.vmptx = transmit.vmptx;
    toNetwork.data_source = slotFeed.datafeed;
    result = hardware.sm_vmptx_datafeed_connect(&toNetwork);
    if (Failed(ldev, result, "Error: sm_vmptx_datafeed_connect() failed %ld")) {
        return result;
    }

    // The network into the channel's slot.
    SM_TDMTX_CREATE_PARMS toSlot{};
    toSlot.module = module;
    toSlot.stream = fromSlot.stream;
    toSlot.timeslot = fromSlot.timeslot;
    result = hardware.sm_tdmtx_create(&toSlot);
    if (Failed(ldev, result, "Error: sm_tdmtx_create() failed %ld")) {
        return result;
    }
    manager.SetTDMtxId(handle, toSlot.tdmtx);
    SM_VMPRX_DATAFEED_PARMS networkFeed{};
    networkFeed.vmprx = receive.vmprx;
    result = hardware.sm_vmprx_get_datafeed(&networkFeed);
    if (Failed(ldev, result, "Error: sm_vmprx_get_datafeed() failed %ld")) {
        return result;
    }
    SM_TDMTX_DATAFEED_CONNECT_PARMS intoSlot{};
    intoSlot.tdmtx = toSlot.tdmtx;
    intoSlot.data_source = networkFeed.datafeed;
    result = hardware.sm_tdmtx_datafeed_connect(&intoSlot);
    if (Failed(ldev, result, "Error: sm_tdmtx_datafeed_connect() failed %ld")) {
        return result;
    }
    return 0;
}

int32_t DestroyContexts(const std::optional<AculabIpChannel>& found, int32_t ldev) {
    if (!found || found->hardware == nullptr) {
        return -1;
    }
    CHardware& hardware = *found->hardware;
    AculabChannelStore& manager = *found->manager;
    const int32_t handle = found->handle;
    int32_t result = 0;

    if (tSMVMPtxId transmit = manager.GetVMPtxId(handle)) {
        SM_VMPTX_DATAFEED_CONNECT_PARMS disconnect{};
        disconnect.vmptx = transmit;
        result = Teardown(ldev, hardware.sm_vmptx_datafeed_connect(&disconnect),
                          "sm_vmptx_datafeed_connect() failed -> %d");
        SM_VMPTX_CONTEXT_PARMS stop{};
        stop.vmptx = transmit;
        result = Teardown(ldev, hardware.sm_vmptx_stop(&stop), "sm_vmptx_stop() failed -> %d");
        result =
            Teardown(ldev, hardware.sm_vmptx_destroy(transmit), "Failed to destroy VMPTX -> %d");
        manager.SetVMPtxId(handle, nullptr);
    }
    if (tSMTDMrxId fromSlot = manager.GetTDMrxId(handle)) {
        result =
            Teardown(ldev, hardware.sm_tdmrx_destroy(fromSlot), "sm_tdmrx_destroy() failed -> %d");
        manager.SetTDMrxId(handle, nullptr);
    }
    if (tSMTDMtxId toSlot = manager.GetTDMtxId(handle)) {
        SM_TDMTX_DATAFEED_CONNECT_PARMS disconnect{};
        disconnect.tdmtx = toSlot;
        result = Teardown(ldev, hardware.sm_tdmtx_datafeed_connect(&disconnect),
                          "sm_tdmtx_datafeed_connect() failed -> %d");
        result =
            Teardown(ldev, hardware.sm_tdmtx_destroy(toSlot), "sm_tdmtx_destroy() failed -> %d");
        manager.SetTDMtxId(handle, nullptr);
    }
    if (tSMVMPrxId receive = manager.GetVMPrxId(handle)) {
        SM_VMPRX_CONTEXT_PARMS stop{};
        stop.vmprx = receive;
        result = Teardown(ldev, hardware.sm_vmprx_stop(&stop), "sm_vmprx_stop() failed -> %d");
        result =
            Teardown(ldev, hardware.sm_vmprx_destroy(receive), "Failed to destroy VMPRX -> %d");
        manager.SetVMPrxId(handle, nullptr);
    }
    return result;
}

}  // namespace

int32_t Prepare_port_forVMP(int32_t ldev) {
    return PrepareChannel(FindAculabIpChannel(ldev), ldev);
}

int32_t Prepare_port_forVMP(const AculabManagerTables& manager, int32_t ldev) {
    return PrepareChannel(FindAculabIpChannel(manager, ldev), ldev);
}

int32_t ReleaseEchoCancel(int32_t ldev) {
    return ReleaseCanceller(FindAculabIpChannel(ldev), ldev);
}

int32_t ReleaseEchoCancel(const AculabManagerTables& manager, int32_t ldev) {
    return ReleaseCanceller(FindAculabIpChannel(manager, ldev), ldev);
}

int32_t ReserveVMPContext(int32_t ldev) {
    IpChannelTrace(ldev, "reserve vmp context");
    return ReserveContexts(FindAculabIpChannel(ldev), ldev);
}

int32_t ReserveVMPContext(const AculabManagerTables& manager, int32_t ldev) {
    IpChannelTrace(ldev, "reserve vmp context");
    return ReserveContexts(FindAculabIpChannel(manager, ldev), ldev);
}

int32_t DestroyVMPContext(int32_t ldev) {
    IpChannelTrace(ldev, "Destroy vmp context");
    return DestroyContexts(FindAculabIpChannel(ldev), ldev);
}

int32_t DestroyVMPContext(const AculabManagerTables& manager, int32_t ldev) {
    IpChannelTrace(ldev, "Destroy vmp context");
    return DestroyContexts(FindAculabIpChannel(manager, ldev), ldev);
}

int32_t GetVMPPorts(int32_t ldev) {
    return AskPorts(FindAculabIpChannel(ldev));
}

}  // namespace ruzd::telephony
