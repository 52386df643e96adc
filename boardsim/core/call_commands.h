#pragma once

// The control commands of the call model: the far end's calls, hang-ups and answers, the
// call worker, Global Call's libraries, and the queries of calls and line devices.

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class Machine;

// The answer when the line is a call-model command; nullopt when it is not one.
std::optional<std::string> ExecuteCallCommand(Machine& machine, const std::vector<Word>& words);
// The answer to "query call", "query line" and "query globalcall"; nullopt for other queries.
std::optional<std::string> QueryCalls(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
