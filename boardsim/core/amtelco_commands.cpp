#include "boardsim/core/amtelco_commands.h"

#include <cstdint>

#include "boardsim/core/amtelco_boards.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

std::optional<uint8_t> BoardNumber(const std::string& word) {
    const std::optional<int64_t> board = Number(word);
    if (!board || *board < 0 || *board > 255)
        return std::nullopt;
    return static_cast<uint8_t>(*board);
}

}  // namespace

bool SetAmtelcoRing(AmtelcoBoards& boards, const std::vector<std::string>& words) {
    if (words.size() != 3)
        return false;
    const std::optional<uint8_t> board = BoardNumber(words[0]);
    const std::optional<int64_t> request = Number(words[1]);
    const std::optional<int64_t> digit =
        words[2] == "none" ? std::optional<int64_t>(-1) : Number(words[2]);
    if (!board || !request || *request < 0 || *request > 9 || !digit || *digit < -1 || *digit > 9)
        return false;
    boards.SetRing(*board, static_cast<int32_t>(*request),
                   *digit < 0 ? std::nullopt : std::optional<int32_t>(*digit));
    return true;
}

std::optional<std::string> ExecuteAmtelcoCommand(Machine& machine, const std::vector<Word>& words) {
    if (words[0].text != "amtelcoring")
        return std::nullopt;
    std::vector<std::string> rest;
    for (size_t i = 1; i < words.size(); ++i)
        rest.push_back(words[i].text);
    if (!SetAmtelcoRing(machine.amtelco_boards(), rest))
        return Err("usage: amtelcoring <board> <request 0-9> <digit 0-9>|none");
    return Ok();
}

std::optional<std::string> QueryAmtelco(Machine& machine, const std::vector<Word>& words) {
    if (words[1].text != "amtelco")
        return std::nullopt;
    const std::optional<uint8_t> board =
        words.size() == 3 ? BoardNumber(words[2].text) : std::nullopt;
    if (!board)
        return Err("usage: query amtelco <board>");
    const AmtelcoBoards::State state = machine.amtelco_boards().StateOf(*board);
    std::string sent;
    for (const std::string& text : state.sent)
        sent += (sent.empty() ? "" : "|") + text;
    return Ok(std::string("on=") + (state.messages_on ? "1" : "0") +
              " ringmode=" + std::to_string(state.ring_mode) +
              " resets=" + std::to_string(state.resets) + " sent=" + sent);
}

}  // namespace ruzd::boardsim
