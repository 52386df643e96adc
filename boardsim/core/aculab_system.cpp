#include "boardsim/core/aculab_system.h"

namespace ruzd::boardsim {
namespace {

// Card ids follow the cards' order in the configuration from here; module ids are the card's
// number times 100 plus the module's number.
constexpr int32_t kFirstCardId = 0x4000;
constexpr int32_t kModulesPerCard = 100;

}  // namespace

const char* AculabErrorText(int32_t error) {
    switch (error) {
        case 0:
            return "Success";
        case kAculabBadParameter:
            return "Invalid parameter";
        case kAculabNoSuchCard:
            return "No such card";
        case kAculabNotOpen:
            return "Card or resource not open";
        case kAculabNoCapability:
            return "Card lacks the resource";
        case kAculabBusy:
            return "Resource already in use";
        case kAculabWrongState:
            return "Call in the wrong state";
        default:
            return "Unknown error";
    }
}

AculabSystem::AculabSystem(const std::vector<BoardConfig::AculabCard>& cards)
    : cards_(cards), states_(cards.size()) {}

int32_t AculabSystem::IndexOf(int32_t card_id) const {
    const int32_t index = card_id - kFirstCardId;
    if (index < 0 || static_cast<size_t>(index) >= cards_.size())
        return -1;
    return index;
}

int32_t AculabSystem::OpenCard(const std::string& serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < cards_.size(); ++i) {
        if (cards_[i].serial == serial) {
            states_[i].open = true;
            return kFirstCardId + static_cast<int32_t>(i);
        }
    }
    return kAculabNoSuchCard;
}

int32_t AculabSystem::CloseCard(int32_t card_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t index = IndexOf(card_id);
    if (index < 0)
        return kAculabNoSuchCard;
    if (!states_[static_cast<size_t>(index)].open)
        return kAculabNotOpen;
    states_[static_cast<size_t>(index)] = State{};
    // A closed card's modules go with it.
    std::erase_if(modules_, [index](const auto& module) { return module.second == index; });
    return 0;
}

const BoardConfig::AculabCard* AculabSystem::OpenCardOf(int32_t card_id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t index = IndexOf(card_id);
    if (index < 0 || !states_[static_cast<size_t>(index)].open)
        return nullptr;
    return &cards_[static_cast<size_t>(index)];
}

int32_t AculabSystem::Check(int32_t card_id, Capability capability, bool opened) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t index = IndexOf(card_id);
    if (index < 0)
        return kAculabNoSuchCard;
    const State& state = states_[static_cast<size_t>(index)];
    if (!state.open)
        return kAculabNotOpen;
    if ((cards_[static_cast<size_t>(index)].capabilities & capability) == 0)
        return kAculabNoCapability;
    if (opened && (state.opened & capability) == 0)
        return kAculabNotOpen;
    return 0;
}

int32_t AculabSystem::OpenCapability(int32_t card_id, Capability capability) {
    const int32_t result = Check(card_id, capability, false);
    if (result != 0)
        return result;
    std::lock_guard<std::mutex> lock(mutex_);
    states_[static_cast<size_t>(IndexOf(card_id))].opened |= capability;
    return 0;
}

int32_t AculabSystem::CloseCapability(int32_t card_id, Capability capability) {
    const int32_t result = Check(card_id, capability, true);
    if (result != 0)
        return result;
    std::lock_guard<std::mutex> lock(mutex_);
    states_[static_cast<size_t>(IndexOf(card_id))].opened &= ~static_cast<uint32_t>(capability);
    return 0;
}

int32_t AculabSystem::OpenModule(int32_t card_id, int32_t index, int32_t* module_id) {
    const int32_t result = Check(card_id, kSpeech, true);
    if (result != 0)
        return result;
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t card = IndexOf(card_id);
    if (index < 0 || index >= cards_[static_cast<size_t>(card)].prosody_modules)
        return kAculabBadParameter;
    *module_id = (card + 1) * kModulesPerCard + index + 1;
    modules_[*module_id] = card;
    return 0;
}

int32_t AculabSystem::CloseModule(int32_t module_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return modules_.erase(module_id) != 0 ? 0 : kAculabBadParameter;
}

bool AculabSystem::IsModuleOpen(int32_t module_id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return modules_.count(module_id) != 0;
}

std::optional<int32_t> AculabSystem::FirstCardWith(Capability capability) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < cards_.size(); ++i) {
        if (states_[i].open && (states_[i].opened & capability) != 0)
            return kFirstCardId + static_cast<int32_t>(i);
    }
    return std::nullopt;
}

void AculabSystem::ResetSwitch(int32_t card_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = outputs_.begin(); it != outputs_.end();) {
        it = std::get<0>(it->first) == card_id ? outputs_.erase(it) : std::next(it);
    }
}

void AculabSystem::SetOutput(int32_t card_id, int32_t stream, int32_t slot, const Output& output) {
    std::lock_guard<std::mutex> lock(mutex_);
    outputs_[{card_id, stream, slot}] = output;
}

std::optional<AculabSystem::Output> AculabSystem::OutputOf(int32_t card_id, int32_t stream,
                                                           int32_t slot) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = outputs_.find({card_id, stream, slot});
    if (found == outputs_.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> AculabSystem::Describe(const std::string& serial) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < cards_.size(); ++i) {
        if (cards_[i].serial != serial)
            continue;
        const State& state = states_[i];
        int modules = 0;
        for (const auto& [module, card] : modules_)
            modules += card == static_cast<int32_t>(i) ? 1 : 0;
        const auto flag = [&](uint32_t capability) {
            return (state.opened & capability) != 0 ? "1" : "0";
        };
        return "id=" + std::to_string(kFirstCardId + static_cast<int32_t>(i)) +
               " open=" + (state.open ? "1" : "0") + " call=" + flag(kCall) +
               " switch=" + flag(kSwitch) + " speech=" + flag(kSpeech) +
               " ipt=" + flag(kIpTelephony) + " modules=" + std::to_string(modules);
    }
    return std::nullopt;
}

}  // namespace ruzd::boardsim
