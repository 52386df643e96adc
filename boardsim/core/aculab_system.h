#pragma once

// The Aculab cards of the simulated machine: which are open, with which capabilities, their
// Prosody modules, and what each output of a card's TDM switch carries. Card ids and module ids
// are handed out by the simulation; results are 0 or one of its own negative error codes.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "boardsim/core/board_config.h"

namespace ruzd::boardsim {

// The simulation's Aculab errors (error_2_string explains them).
inline constexpr int32_t kAculabBadParameter = -1;
inline constexpr int32_t kAculabNoSuchCard = -2;
inline constexpr int32_t kAculabNotOpen = -3;
inline constexpr int32_t kAculabNoCapability = -4;
inline constexpr int32_t kAculabBusy = -5;
inline constexpr int32_t kAculabWrongState = -6;
const char* AculabErrorText(int32_t error);

class AculabSystem {
public:
    enum Capability : uint32_t { kCall = 1, kSwitch = 2, kSpeech = 4, kIpTelephony = 8 };

    // One output of a card's switch: connected to an input (mode 2) or sending a pattern (1).
    struct Output {
        int32_t mode = 0;
        int32_t input_stream = 0;
        int32_t input_slot = 0;
        int32_t pattern = 0;
    };

    explicit AculabSystem(const std::vector<BoardConfig::AculabCard>& cards);

    const std::vector<BoardConfig::AculabCard>& Cards() const { return cards_; }

    // Opening a card by serial number: its id, or kAculabNoSuchCard.
    int32_t OpenCard(const std::string& serial);
    int32_t CloseCard(int32_t card_id);
    // The configured card behind an open card id, or null.
    const BoardConfig::AculabCard* OpenCardOf(int32_t card_id) const;

    // Opens or closes one capability of an open card that has it.
    int32_t OpenCapability(int32_t card_id, Capability capability);
    int32_t CloseCapability(int32_t card_id, Capability capability);
    // 0 when the card is open and the capability is open too (or, with `opened` false, the
    // card has it); else the error.
    int32_t Check(int32_t card_id, Capability capability, bool opened) const;

    // A module of an open Prosody card: its id, or the error.
    int32_t OpenModule(int32_t card_id, int32_t index, int32_t* module_id);
    int32_t CloseModule(int32_t module_id);
    bool IsModuleOpen(int32_t module_id) const;

    // The id of the first open card whose capability is open too, or none.
    std::optional<int32_t> FirstCardWith(Capability capability) const;

    // The switch of a card.
    void ResetSwitch(int32_t card_id);
    void SetOutput(int32_t card_id, int32_t stream, int32_t slot, const Output& output);
    std::optional<Output> OutputOf(int32_t card_id, int32_t stream, int32_t slot) const;

    // "id=<id> open=<0|1> call=.. switch=.. speech=.. ipt=.. modules=<open modules>" of a card
    // by serial number, or nullopt.
    std::optional<std::string> Describe(const std::string& serial) const;

private:
    struct State {
        bool open = false;
        uint32_t opened = 0;  // capabilities
    };
    int32_t IndexOf(int32_t card_id) const;

    const std::vector<BoardConfig::AculabCard> cards_;
    mutable std::mutex mutex_;
    std::vector<State> states_;
    std::map<int32_t, int32_t> modules_;  // open module id -> card index
    std::map<std::tuple<int32_t, int32_t, int32_t>, Output> outputs_;
};

}  // namespace ruzd::boardsim
