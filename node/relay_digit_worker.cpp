// The relay-digit worker: plays the digits the central server asks for (SMREDI) through one
// output channel of the first Prosody card into the relay time slot of the bus, after making
// the device that should hear them listen to that slot. A position behind the Amtelco
// switchboard is cross-connected to the relay slot by its board and back to the slot of the
// channel on its cable afterwards.

#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/debug_channel.h"
#include "node/amtelco_texts.h"
#include "node/conference_listen.h"
#include "node/manager_log.h"
#include "node/queue_worker_loop.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/aculab_cards.h"
#include "telephony/sized_record.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/vendorapi/aculab.h"

namespace ruzd::node {

using foundation::kDebugChannelAmtelco;
using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;
using platform::Format;

namespace {

constexpr uint32_t kRelayDigitSliceMs = 500;
// The card's own stream and slot the relay channel sends on, and the relay slot of the bus as
// the card's switch names it (128 slots a stream).
constexpr int32_t kRelayCardStream = 64;
constexpr int32_t kRelayCardSlot = 121;
constexpr int32_t kBusSlotsPerStream = 128;
// More digits than this are not played.
constexpr size_t kMaxRelayDigits = 32;
constexpr int32_t kAmtelcoPositionType = 999;

void RelayLog(const std::string& text) {
    ManagerLog(kDebugChannelGeneral, kDebugNone, text);
}

// The first module of the first Prosody IP card that has one, with the card's id.
struct RelayModule {
    int32_t card = 0;
    int32_t module = 0;
};

std::optional<RelayModule> FindRelayModule() {
    telephony::AculabCardList& cards = telephony::AculabCards();
    std::lock_guard hold(cards.Lock());
    for (size_t i = 0; i < cards.Size(); ++i) {
        const telephony::CAculabCard& card = cards.At(i);
        if (card.GetNetPortType() == ACU_NETPORT_PROSODY_IP && card.GetProsodyModuleCount() > 0) {
            return RelayModule{card.GetCardId(), card.GetProsodyModule(0)};
        }
    }
    return std::nullopt;
}

}  // namespace

uint32_t CVesmarinManager::RelayDigitThread() {
    return relay_digit_worker_.RunBody([this](const WorkerRun& run) {
        tSMChannelId channel = OpenRelayChannel();
        if (channel == nullptr) {
            return;
        }
        RunQueueLoop<CRelayDigitsParam>(
            run, relay_digit_queue_, kRelayDigitSliceMs, QueueTurn::kOneRecord,
            [this, channel](CRelayDigitsParam& record) { PlayRelayDigits(channel, record); });
        const int32_t result = hardware_->sm_channel_release(channel);
        if (result != 0) {
            RelayLog(Format("Error: sm_channel_release for RelayDigitsThread %d", result));
        }
    });
}

// The channel placed on the relay card, sending on its card's relay stream and slot, which the
// card's switch puts on the relay slot of the bus; null (logged) when there is no Prosody card
// or a step failed. A channel that could not be connected is given back.
tSMChannelId CVesmarinManager::OpenRelayChannel() {
    const std::optional<RelayModule> relay = FindRelayModule();
    if (!relay) {
        RelayLog("RelayDigitsThread: No Prosody X boards found");
        return nullptr;
    }
    SM_CHANNEL_ALLOC_PLACED_PARMS placed{};
    placed.type = kSMChannelTypeOutput;
    placed.module = relay->module;
    int32_t result = hardware_->sm_channel_alloc_placed(&placed);
    if (result != 0) {
        RelayLog(Format("Error: sm_channel_alloc_placed for RelayDigitsThread %d", result));
        return nullptr;
    }
    SM_SWITCH_CHANNEL_PARMS output{};
    output.channel = placed.channel;
    output.st = kRelayCardStream;
    output.ts = kRelayCardSlot;
    result = hardware_->sm_switch_channel_output(&output);
    if (result != 0) {
        RelayLog(Format("Error: sm_switch_channel_output for RelayDigitsThread %d", result));
        hardware_->sm_channel_release(placed.channel);
        return nullptr;
    }
    OUTPUT_PARMS bus = telephony::SizedRecord<OUTPUT_PARMS>();
    bus.ost = telephony::kDigitRelayTimeSlot / kBusSlotsPerStream;
    bus.ots = telephony::kDigitRelayTimeSlot % kBusSlotsPerStream;
    bus.mode = CONNECT_MODE;
    bus.ist = kRelayCardStream;
    bus.its = kRelayCardSlot;
    result = hardware_->sw_set_output(relay->card, &bus);
    if (result != 0) {
        RelayLog(Format("Error: sw_set_output for RelayDigitsThread %d", result));
        hardware_->sm_channel_release(placed.channel);
        return nullptr;
    }
    return placed.channel;
}

void CVesmarinManager::PlayRelayDigits(tSMChannelId channel, const CRelayDigitsParam& record) {
    RelayLog(Format("RelayDigitThread Start Play Digits lDev %d DevType %d Digits %s",
                    record.device, record.deviceType, record.digits.c_str()));
    const bool amtelco = record.deviceType == kAmtelcoPositionType;
    int32_t board = 0;
    int32_t amtelcoSlot = 0;
    if (amtelco) {
        if (!amtelco_.GetCableBoard(record.amtelcoCable, &board)) {
            ManagerLog(kDebugChannelAmtelco, kDebugNone,
                       Format("RelayDigitThread tx=%d rx=%d cable=%d CABLE NOT FOUND",
                              record.device, record.amtelcoReceive, record.amtelcoCable));
            SendRelayDigitResult(-1);
            RelayLog("RelayDigitThread End Play Digits -1");
            return;
        }
        amtelcoSlot = amtelco_.GetAmtelcoBusTimeslot(record.device, record.amtelcoCable);
        QueueAmtelcoParam(board,
                          AmtelcoCrossConnectText(amtelcoSlot, telephony::kDigitRelayTimeSlot,
                                                  record.device, record.amtelcoReceive));
    } else {
        ListenToSlot(record.device, record.deviceType, telephony::kDigitRelayTimeSlot);
    }

    SM_PLAY_DIGITS_PARMS play{};
    play.channel = channel;
    play.type = kSMDigitTypeDtmf;
    const std::string digits = record.digits.substr(0, kMaxRelayDigits);
    std::memcpy(play.digits, digits.data(), digits.size());
    const int32_t result = hardware_->sm_play_digits(&play);

    if (amtelco) {
        // The cable goes back to the channel it was connected to, whether or not they played.
        const int32_t slot =
            telephony::GetXTimeSlot(record.cableDevice, record.cableDeviceType, nullptr);
        if (slot == -1) {
            ManagerLog(kDebugChannelAmtelco, kDebugNone,
                       Format("RelayDigitThread GetXTimeSlot dev=%d %d ERROR", record.cableDevice,
                              record.cableDeviceType));
        } else {
            QueueAmtelcoParam(board, AmtelcoCrossConnectText(amtelcoSlot, slot, record.device,
                                                             record.amtelcoReceive));
        }
    }
    SendRelayDigitResult(result);
    RelayLog(Format("RelayDigitThread End Play Digits %d", result));
}

void CVesmarinManager::SendRelayDigitResult(int32_t result) {
    if (listener_) {
        messages_.RelayDigitResult(*listener_, result);
    }
}

}  // namespace ruzd::node
