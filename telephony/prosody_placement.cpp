#include "telephony/prosody_placement.h"

#include <mutex>

#include "telephony/aculab_cards.h"
#include "telephony/vendorapi/aculab.h"

namespace ruzd::telephony {
namespace {

// A module's streams are numbered from here, two for each module index on its card.
constexpr int32_t kFirstProsodyStream = 64;
// Each channel takes four time slots; the first channel of a stream starts at slot 3.
constexpr int32_t kSlotsPerChannel = 4;
constexpr int32_t kFirstChannelSlot = 3;

}  // namespace

std::optional<ProsodyPlace> FindProsodyPlace(int32_t ldev) {
    if (ldev < 1) {
        return std::nullopt;
    }
    AculabCardList& cards = AculabCards();
    std::lock_guard hold(cards.Lock());
    int32_t base = 0;  // the channels served by the modules walked so far
    for (size_t i = 0; i < cards.Size(); ++i) {
        const CAculabCard& card = cards.At(i);
        if (card.GetNetPortType() != ACU_NETPORT_PROSODY_IP) {
            continue;
        }
        for (int32_t module = 0; module < card.GetProsodyModuleCount(); ++module) {
            if (ldev > base + kProsodyChannelsPerModule) {
                base += kProsodyChannelsPerModule;
                continue;
            }
            const int32_t n = ldev - base - 1;  // 0 to 59 on this module
            ProsodyPlace place;
            place.card_id = card.GetCardId();
            place.card_info = card.GetCardInfoText();
            place.module = card.GetProsodyModule(module);
            place.stream = kFirstProsodyStream + kProsodyStreamsPerModule * module +
                           n / kProsodyChannelsPerStream;
            place.slot = kSlotsPerChannel * (n % kProsodyChannelsPerStream) + kFirstChannelSlot;
            return place;
        }
    }
    return std::nullopt;
}

}  // namespace ruzd::telephony
