// The Aculab cards: the system snapshot lists the configured cards, a card opens by serial
// number and then each of its capabilities; the switch keeps what every output carries.
// Records with a size field must carry their own size.

#include <algorithm>
#include <cstring>
#include <string>

#include "boardsim/core/behaviour/sized_record.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

using Capability = AculabSystem::Capability;

AculabSystem& Aculab() {
    return Machine::Get().aculab();
}

int32_t OpenCapability(ACU_CARD_PARMS* parms, Capability capability, bool sized = true) {
    if (parms == nullptr || (sized && !Sized(parms)))
        return kAculabBadParameter;
    return Aculab().OpenCapability(parms->card_id, capability);
}

int32_t CloseCapability(ACU_CARD_PARMS* parms, Capability capability, bool sized = true) {
    if (parms == nullptr || (sized && !Sized(parms)))
        return kAculabBadParameter;
    return Aculab().CloseCapability(parms->card_id, capability);
}

int32_t ProsodyCardInfo(SM_CARD_INFO_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    const int32_t result = Aculab().Check(parms->card_id, Capability::kSpeech, true);
    if (result != 0)
        return result;
    parms->module_count = Aculab().OpenCardOf(parms->card_id)->prosody_modules;
    return 0;
}

}  // namespace

// Every configured card is counted; the record has room for the first 20 serial numbers, each
// in 30 characters without a terminating zero when it fills them.
int32_t Behaviour<tags::acu_get_system_snapshot>::Run(ACU_SNAPSHOT_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const auto& cards = Aculab().Cards();
    parms->count = static_cast<uint32_t>(cards.size());
    const size_t listed = std::min(cards.size(), std::size(parms->serial_no));
    for (size_t i = 0; i < listed; ++i) {
        char* field = parms->serial_no[i];
        std::memset(field, 0, sizeof parms->serial_no[i]);
        std::memcpy(field, cards[i].serial.data(),
                    std::min(cards[i].serial.size(), sizeof parms->serial_no[i]));
    }
    return 0;
}

int32_t Behaviour<tags::acu_open_card>::Run(ACU_OPEN_CARD_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const std::string serial(parms->serial_no, strnlen(parms->serial_no, sizeof parms->serial_no));
    const int32_t card_id = Aculab().OpenCard(serial);
    if (card_id < 0)
        return card_id;
    parms->card_id = card_id;
    return 0;
}

int32_t Behaviour<tags::acu_close_card>::Run(ACU_CARD_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const int32_t result = Aculab().CloseCard(parms->card_id);
    if (result == 0)
        Machine::Get().aculab_calls().ForgetCard(parms->card_id);
    return result;
}

int32_t Behaviour<tags::acu_get_card_info>::Run(ACU_CARD_INFO_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const BoardConfig::AculabCard* card = Aculab().OpenCardOf(parms->card_id);
    if (card == nullptr)
        return kAculabNotOpen;
    parms->resources_available = card->capabilities;
    const std::string text = "Simulated Aculab card " + card->serial;
    std::memset(parms->card_info, 0, sizeof parms->card_info);
    std::memcpy(parms->card_info, text.data(), std::min(text.size(), sizeof parms->card_info - 1));
    return 0;
}

int32_t Behaviour<tags::acu_open_prosody>::Run(ACU_CARD_PARMS* parms) {
    return OpenCapability(parms, Capability::kSpeech, false);
}

int32_t Behaviour<tags::acu_close_prosody>::Run(ACU_CARD_PARMS* parms) {
    return CloseCapability(parms, Capability::kSpeech, false);
}

int32_t Behaviour<tags::acu_open_switch>::Run(ACU_CARD_PARMS* parms) {
    return OpenCapability(parms, Capability::kSwitch);
}

int32_t Behaviour<tags::acu_close_switch>::Run(ACU_CARD_PARMS* parms) {
    return CloseCapability(parms, Capability::kSwitch);
}

int32_t Behaviour<tags::acu_open_call>::Run(ACU_CARD_PARMS* parms) {
    return OpenCapability(parms, Capability::kCall);
}

// The card's ports and calls end with its call capability.
int32_t Behaviour<tags::acu_close_call>::Run(ACU_CARD_PARMS* parms) {
    const int32_t result = CloseCapability(parms, Capability::kCall);
    if (result == 0)
        Machine::Get().aculab_calls().ForgetCard(parms->card_id);
    return result;
}

int32_t Behaviour<tags::acu_open_ipt>::Run(ACU_CARD_PARMS* parms) {
    return OpenCapability(parms, Capability::kIpTelephony);
}

int32_t Behaviour<tags::acu_close_ipt>::Run(ACU_CARD_PARMS* parms) {
    return CloseCapability(parms, Capability::kIpTelephony);
}

int32_t Behaviour<tags::call_get_card_info>::Run(CALL_CARD_INFO_PARMS* parms) {
    if (!Sized(parms))
        return kAculabBadParameter;
    const int32_t result = Aculab().Check(parms->card_id, Capability::kCall, true);
    if (result != 0)
        return result;
    const BoardConfig::AculabCard* card = Aculab().OpenCardOf(parms->card_id);
    parms->ports = card->net_ports;
    parms->port_type = card->net_port_type;
    return 0;
}

const char* Behaviour<tags::error_2_string>::Run(int32_t error_code) {
    return AculabErrorText(error_code);
}

// The switch answers on an open card that has one, whether or not it was opened.
int32_t Behaviour<tags::sw_set_output>::Run(int32_t card_id, OUTPUT_PARMS* parms) {
    const int32_t result = Aculab().Check(card_id, Capability::kSwitch, false);
    if (result != 0)
        return result;
    if (!Sized(parms) || (parms->mode != PATTERN_MODE && parms->mode != CONNECT_MODE))
        return kAculabBadParameter;
    AculabSystem::Output output;
    output.mode = parms->mode;
    if (parms->mode == CONNECT_MODE) {
        output.input_stream = parms->ist;
        output.input_slot = parms->its;
    } else {
        output.pattern = parms->pattern;
    }
    Aculab().SetOutput(card_id, parms->ost, parms->ots, output);
    return 0;
}

int32_t Behaviour<tags::sw_mode_switch>::Run(int32_t card_id, SWMODE_PARMS* parms) {
    const int32_t result = Aculab().Check(card_id, Capability::kSwitch, false);
    if (result != 0)
        return result;
    if (!Sized(parms))
        return kAculabBadParameter;
    parms->ct_buses = Aculab().OpenCardOf(card_id)->bus_modes;
    return 0;
}

int32_t Behaviour<tags::sw_reset_switch>::Run(int32_t card_id) {
    const int32_t result = Aculab().Check(card_id, Capability::kSwitch, false);
    if (result == 0)
        Aculab().ResetSwitch(card_id);
    return result;
}

int32_t Behaviour<tags::sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_>::Run(SM_CARD_INFO_PARMS* parms) {
    return ProsodyCardInfo(parms);
}

int32_t Behaviour<tags::sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_>::Run(SM_CARD_INFO_PARMS* parms) {
    return ProsodyCardInfo(parms);
}

int32_t Behaviour<tags::sm_open_module_iPsCAtUiMt_>::Run(SM_OPEN_MODULE_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    return Aculab().OpenModule(parms->card_id, parms->module_ix, &parms->module_id);
}

// What the module's media held goes with it.
int32_t Behaviour<tags::sm_close_module_iPsMt_>::Run(SM_CLOSE_MODULE_PARMS* parms) {
    if (parms == nullptr)
        return kAculabBadParameter;
    const int32_t result = Aculab().CloseModule(parms->module_id);
    if (result == 0)
        Machine::Get().prosody().ForgetModule(parms->module_id);
    return result;
}

}  // namespace ruzd::boardsim
