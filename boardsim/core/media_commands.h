#pragma once

// The control socket's commands of the simulated voice: "speed <factor>", "source <device>
// silence|pattern <seed>|file <host path>", "callprogress <device>|* <outcome>",
// "tone <device> <id>", and the queries "query voice <device>" and "query heard <device>".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"
#include "boardsim/core/voice_media.h"

namespace ruzd::boardsim {

class Machine;

// The answer to one of these commands; nullopt for other commands.
std::optional<std::string> ExecuteMediaCommand(Machine& machine, const std::string& line,
                                               const std::vector<Word>& words);
std::optional<std::string> QueryMedia(Machine& machine, const std::vector<Word>& words);

// A source as its words read ("silence", "pattern <seed>", "file <host path>"); nullopt when
// they cannot be read or the file cannot be read.
std::optional<MediaSource> ReadSource(const std::vector<std::string>& words);

}  // namespace ruzd::boardsim
