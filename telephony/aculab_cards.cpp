#include "telephony/aculab_cards.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "telephony/app_message_box.h"
#include "telephony/hardware.h"
#include "telephony/sized_record.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The snapshot record holds this many serial numbers, of this many characters each.
constexpr uint32_t kSnapshotSerials = 20;
constexpr size_t kSerialLength = 30;

ACU_CARD_PARMS CardRecord(int32_t card_id) {
    ACU_CARD_PARMS record = SizedRecord<ACU_CARD_PARMS>();
    record.card_id = card_id;
    return record;
}

// A text field that need not end with a NUL.
std::string BoundedText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// Closes one capability of an open card; a failure is only logged.
void CloseCapability(CHardware& hardware, int32_t (CHardware::*close)(ACU_CARD_PARMS*),
                     int32_t card_id, const char* failure, bool sized = true) {
    ACU_CARD_PARMS record = CardRecord(card_id);
    if (!sized)
        record.size = 0;
    if ((hardware.*close)(&record) != 0)
        VendorTrace(0, 0, "%s", failure);
}

void OpenSwitch(CHardware& hardware, CAculabCard& card) {
    VendorTrace(0, 0, "Card has SWITCH capabilities.");
    ACU_CARD_PARMS record = CardRecord(card.GetCardId());
    if (hardware.acu_open_switch(&record) == 0) {
        card.SetSwitchOpen();
    } else {
        VendorTrace(0, 0, "Could not open card's SWITCH capabilities.");
    }
    if (hardware.sw_reset_switch(card.GetCardId()) != 0)
        VendorTrace(0, 0, "Could not reset SWITCH capabilities on card.");
}

void OpenCall(CHardware& hardware, CAculabCard& card) {
    VendorTrace(0, 0, "Card has CALL capabilities.");
    ACU_CARD_PARMS record = CardRecord(card.GetCardId());
    if (hardware.acu_open_call(&record) != 0) {
        VendorTrace(0, 0, "Could not open card's CALL capabilities.");
        return;
    }
    card.SetCallOpen();
    CALL_CARD_INFO_PARMS info = SizedRecord<CALL_CARD_INFO_PARMS>();
    info.card_id = card.GetCardId();
    hardware.call_get_card_info(&info);
    VendorTrace(0, 0, "Card has %u net ports of type %u.", static_cast<uint32_t>(info.ports),
                static_cast<uint32_t>(info.port_type));
    card.SetNetPortCount(info.ports);
    card.SetNetPortType(info.port_type);
}

void OpenSpeech(CHardware& hardware, CAculabCard& card) {
    VendorTrace(0, 0, "Card has SPEECH capabilities.");
    // The Prosody records carry no size.
    ACU_CARD_PARMS record{};
    record.card_id = card.GetCardId();
    if (hardware.acu_open_prosody(&record) != 0) {
        VendorTrace(0, 0, "Could not open card's SPEECH capabilities.");
        return;
    }
    card.SetSpeechOpen();
    SM_CARD_INFO_PARMS info{};
    info.card_id = card.GetCardId();
    hardware.sm_get_card_info(&info);
    VendorTrace(0, 0, "Card has %d prosody modules.", info.module_count);
    card.SetProsodyModuleCount(info.module_count);
    for (int32_t index = 0; index < info.module_count; ++index) {
        SM_OPEN_MODULE_PARMS module{};
        module.card_id = card.GetCardId();
        module.module_ix = index;
        const int32_t result = hardware.sm_open_module(&module);
        if (result != 0) {
            VendorTrace(0, 0, "Error %d opening prosody module %d", result, index);
            continue;
        }
        card.SetProsodyModule(index, module.module_id);
    }
}

void OpenIPTelephony(CHardware& hardware, CAculabCard& card) {
    VendorTrace(0, 0, "Card has IP Telephony capabilities.");
    ACU_CARD_PARMS record = CardRecord(card.GetCardId());
    if (hardware.acu_open_ipt(&record) == 0) {
        card.SetIPTelephonyOpen();
    } else {
        VendorTrace(0, 0, "Could not open card's IP Telephony capabilities.");
    }
}

void CloseCard(CHardware& hardware, const CAculabCard& card) {
    const int32_t card_id = card.GetCardId();
    if (card.IsSpeechOpen()) {
        for (int32_t index = 0; index < card.GetProsodyModuleCount(); ++index) {
            SM_CLOSE_MODULE_PARMS module{card.GetProsodyModule(index)};
            if (module.module_id != 0 && hardware.sm_close_module(&module) != 0)
                VendorTrace(0, 0, "Could not close card's Module.");
        }
        CloseCapability(hardware, &CHardware::acu_close_prosody, card_id,
                        "Could not close card's SPEECH capabilities.", false);
    }
    if (card.IsSwitchOpen()) {
        CloseCapability(hardware, &CHardware::acu_close_switch, card_id,
                        "Could not close card's SWITCH capabilities.");
    }
    if (card.IsCallOpen()) {
        for (int32_t index = 0; index < card.GetNetPortCount(); ++index) {
            CALL_PORT_PARMS port = SizedRecord<CALL_PORT_PARMS>();
            port.port_id = card.GetNetPort(index);
            if (port.port_id != 0 && hardware.call_close_port(&port) != 0)
                VendorTrace(0, 0, "Could not close card's Port.");
        }
        CloseCapability(hardware, &CHardware::acu_close_call, card_id,
                        "Could not close card's CALL capabilities.");
    }
    if (card.IsIPTelephonyOpen()) {
        CloseCapability(hardware, &CHardware::acu_close_ipt, card_id,
                        "Could not close card's IP Telephony capabilities.");
    }
    CloseCapability(hardware, &CHardware::acu_close_card, card_id, "Could not close card.");
}

}  // namespace

size_t AculabCardList::Size() {
    std::lock_guard hold(lock_);
    return cards_.size();
}

CAculabCard& AculabCardList::At(size_t index) {
    std::lock_guard hold(lock_);
    if (index >= cards_.size())
        throw std::invalid_argument("Aculab card index out of range");
    return *cards_[index];
}

CAculabCard& AculabCardList::Append(std::unique_ptr<CAculabCard> card) {
    std::lock_guard hold(lock_);
    cards_.push_back(std::move(card));
    return *cards_.back();
}

void AculabCardList::RemoveAll() {
    std::lock_guard hold(lock_);
    cards_.clear();
}

AculabCardList& AculabCards() {
    static AculabCardList cards;
    return cards;
}

bool SystemSnapShot() {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr)
        return false;
    std::lock_guard hold(AculabCards().Lock());
    ACU_SNAPSHOT_PARMS snapshot = SizedRecord<ACU_SNAPSHOT_PARMS>();
    const int32_t result = hardware->acu_get_system_snapshot(&snapshot);
    if (result != 0) {
        ShowAppMessageBox("Error in Aculab SystemSnapShot");
        VendorTrace(0, 0, "Error in Aculab SystemSnapShot %ld", static_cast<long>(result));
        return false;
    }
    uint32_t count = snapshot.count;
    if (count > kSnapshotSerials) {
        VendorTrace(0, 0, "Aculab SystemSnapShot reports %u cards; only the first %u are opened",
                    count, kSnapshotSerials);
        count = kSnapshotSerials;
    }
    for (uint32_t i = 0; i < count; ++i)
        OpenAculabCard(BoundedText(snapshot.serial_no[i], kSerialLength));
    return true;
}

void OpenAculabCard(const std::string& serial) {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr)
        return;
    std::lock_guard hold(AculabCards().Lock());

    ACU_OPEN_CARD_PARMS open = SizedRecord<ACU_OPEN_CARD_PARMS>();
    std::memcpy(open.serial_no, serial.data(), std::min(serial.size(), kSerialLength));
    if (hardware->acu_open_card(&open) != 0) {
        VendorTrace(0, 0, "Aculab Card with serial number %s could not be opened.", serial.c_str());
        return;
    }
    VendorTrace(0, 0, "Aculab Card with serial number %s found and card id 0x%X", serial.c_str(),
                static_cast<uint32_t>(open.card_id));

    ACU_CARD_INFO_PARMS info = SizedRecord<ACU_CARD_INFO_PARMS>();
    info.card_id = open.card_id;
    if (hardware->acu_get_card_info(&info) != 0) {
        VendorTrace(0, 0,
                    "Capabilities of Aculab Card with serial number %s could not be detected.",
                    serial.c_str());
        return;
    }

    CAculabCard* card = FindAculabCardId(serial);
    if (card != nullptr) {
        card->SetCardId(open.card_id);
    } else {
        card = &AculabCards().Append(std::make_unique<CAculabCard>(open.card_id, serial));
    }
    card->SetCardInfoText(BoundedText(info.card_info, sizeof info.card_info));

    if ((info.resources_available & ACU_RESOURCE_SWITCH) != 0)
        OpenSwitch(*hardware, *card);
    if ((info.resources_available & ACU_RESOURCE_CALL) != 0)
        OpenCall(*hardware, *card);
    if ((info.resources_available & ACU_RESOURCE_SPEECH) != 0)
        OpenSpeech(*hardware, *card);
    if ((info.resources_available & ACU_RESOURCE_IPTEL) != 0)
        OpenIPTelephony(*hardware, *card);
}

CAculabCard* FindAculabCardId(const std::string& serial) {
    AculabCardList& cards = AculabCards();
    std::lock_guard hold(cards.Lock());
    for (size_t i = 0; i < cards.Size(); ++i) {
        if (cards.At(i).GetSerialNumber() == serial)
            return &cards.At(i);
    }
    return nullptr;
}

bool FindAculabNetPort(int32_t port_handle, std::string* serial, int32_t* index) {
    AculabCardList& cards = AculabCards();
    std::lock_guard hold(cards.Lock());
    for (size_t i = 0; i < cards.Size(); ++i) {
        const CAculabCard& card = cards.At(i);
        for (int32_t port = 0; port < card.GetNetPortCount(); ++port) {
            if (card.GetNetPort(port) == port_handle) {
                *serial = card.GetSerialNumber();
                *index = port;
                return true;
            }
        }
    }
    serial->clear();
    *index = 0;
    return false;
}

void CloseAllAculabCards(std::chrono::milliseconds wait) {
    AculabCardList& cards = AculabCards();
    std::unique_lock hold(cards.Lock(), std::defer_lock);
    if (!hold.try_lock_for(wait)) {
        VendorTrace(0, 0, "ERROR Could not get lock on CloseAllAculabCards.");
        return;
    }
    CHardware* hardware = PublishedHardware();
    try {
        for (const std::unique_ptr<CAculabCard>& card : cards.cards_) {
            if (hardware != nullptr && card->GetCardId() != 0)
                CloseCard(*hardware, *card);
        }
    } catch (...) {
        VendorTrace(0, 0, "Error caught during CloseAllAculabCards.!");
    }
    // The list owns the cards: emptying it deletes every one, open or not.
    cards.cards_.clear();
}

}  // namespace ruzd::telephony
