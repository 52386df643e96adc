#pragma once

// The control socket's queries of the IP requests: "query request <id>" and
// "query auth <device>".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class Machine;

// The answer to either query; nullopt for other queries.
std::optional<std::string> QueryIpServices(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
