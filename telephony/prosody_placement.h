#pragma once

// Where the media of an Aculab IP channel runs. The Prosody modules of the cards whose net
// ports are IP ports (type 36) serve the IP channels in turn: the cards in list order, each
// card's modules in index order, 60 channels a module. A module meets the switch on two streams
// of its own, 30 channels each, and every channel takes four consecutive time slots there.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::telephony {

inline constexpr int32_t kProsodyChannelsPerStream = 30;
inline constexpr int32_t kProsodyStreamsPerModule = 2;
inline constexpr int32_t kProsodyChannelsPerModule =
    kProsodyChannelsPerStream * kProsodyStreamsPerModule;

// The module that serves one IP channel, the card that holds it, and the first of the
// channel's four slots: the channel's own slot T; the echo canceller's input listens on T+1,
// its reference on T+2, and its output writes on T+3.
struct ProsodyPlace {
    int32_t card_id = 0;
    std::string card_info;
    int32_t module = 0;
    int32_t stream = 0;
    int32_t slot = 0;
};

// The place of IP channel `ldev` (1 upwards); none when the cards have too few modules. The
// caller holds the card list's lock for as long as it uses the place with the card.
std::optional<ProsodyPlace> FindProsodyPlace(int32_t ldev);

}  // namespace ruzd::telephony
