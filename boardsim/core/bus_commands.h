#pragma once

// The control socket's queries of the TDM bus and the Aculab cards: "query slot <device>",
// "query listen <device>", "query routes", "query aculab <serial>" and
// "query output <card id> <stream> <slot>".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class Machine;

// The answer to one of these queries; nullopt for other queries.
std::optional<std::string> QueryBus(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
