#include "boardsim/core/amtelco_boards.h"

#include <cctype>

namespace ruzd::boardsim {
namespace {

constexpr uint8_t kIdentificationGroup = 2;
constexpr uint8_t kIdentificationType = 2;
constexpr uint8_t kQueryGroup = 16;
constexpr uint8_t kQueryType = 0;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

void AmtelcoBoards::MessagesOn(uint8_t board) {
    std::lock_guard<std::mutex> lock(mutex_);
    states_[board].messages_on = true;
}

void AmtelcoBoards::SetRingMode(uint8_t board, int32_t mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    states_[board].ring_mode = mode;
}

void AmtelcoBoards::Reset(uint8_t board) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++states_[board].resets;
}

void AmtelcoBoards::Send(uint8_t board, const std::string& text) {
    std::optional<std::string> answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        states_[board].sent.push_back(text);
        answer = AnswerToRequest(board, text);
    }
    if (StartsWith(text, "XPO")) {
        mailbox_.Post(AmtelcoMailbox::Box::kMessages, board,
                      BoardMessage{kIdentificationGroup, kIdentificationType, "IA"});
    } else if (answer) {
        mailbox_.Post(AmtelcoMailbox::Box::kQueries, board,
                      BoardMessage{kQueryGroup, kQueryType, *answer});
    }
}

std::optional<std::string> AmtelcoBoards::AnswerToRequest(uint8_t board,
                                                          const std::string& text) const {
    constexpr size_t kRequestLength = 8;  // "QMT", the request number, four hex digits
    if (!StartsWith(text, "QMT") || text.size() != kRequestLength ||
        !std::isdigit(static_cast<unsigned char>(text[3])))
        return std::nullopt;
    for (size_t i = 4; i < kRequestLength; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
    }
    const auto ring = rings_.find({board, text[3] - '0'});
    if (ring == rings_.end())
        return text + "0000N0";
    return text + "0000F" + std::to_string(ring->second);
}

void AmtelcoBoards::SetRing(uint8_t board, int32_t request, std::optional<int32_t> digit) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (digit) {
        rings_[{board, request}] = *digit;
    } else {
        rings_.erase({board, request});
    }
}

AmtelcoBoards::State AmtelcoBoards::StateOf(uint8_t board) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = states_.find(board);
    return it == states_.end() ? State{} : it->second;
}

}  // namespace ruzd::boardsim
