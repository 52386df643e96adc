#pragma once

// The control commands of what Global Call raises beside calls: alarms, the far end's call
// modifications and vendor extensions, and the queries of user information and QoS resets.

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class Machine;

// The answer to "alarm", "modify" and "extension"; nullopt for other commands.
std::optional<std::string> ExecuteGlobalCallCommand(Machine& machine,
                                                    const std::vector<Word>& words);
// The answer to "query userinfo" and "query qos"; nullopt for other queries.
std::optional<std::string> QueryGlobalCall(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
