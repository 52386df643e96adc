#pragma once

// The control socket's commands of continuous speech processing: "media hold|run",
// "media step <device>|* <blocks>", "audio <device> counter|silence|pattern <seed>|file <host
// path>", and the query "query stream <device>".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class Machine;

// The answer to one of these commands; nullopt for other commands.
std::optional<std::string> ExecuteSpeechCommand(Machine& machine, const std::string& line,
                                                const std::vector<Word>& words);
std::optional<std::string> QuerySpeech(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
