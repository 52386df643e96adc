#pragma once

// The control socket's station and conference commands: "hook <station> off|on",
// "resources <board or DSP> <n>", "query conferences [<device>]" and
// "query station <device>".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

// The answer to one of these commands or queries; nullopt for others.
std::optional<std::string> ExecuteConferenceCommand(Machine& machine,
                                                    const std::vector<Word>& words);
std::optional<std::string> QueryConferences(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
