#pragma once

// The control socket's queries of the Aculab call control and Prosody media:
// "query acuport <port id>", "query acucall <call handle>" and "query prosody <module id>";
// and its commands of what the cards report: "acuevent", "acusys", "iptnotify", "iptstats" and
// "acustatus".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class Machine;

// The answer to one of these queries; nullopt for other queries.
std::optional<std::string> QueryAculab(Machine& machine, const std::vector<Word>& words);
// The answer to one of these commands; nullopt for other commands.
std::optional<std::string> ExecuteAculabCommand(Machine& machine, const std::string& line,
                                                const std::vector<Word>& words);

}  // namespace ruzd::boardsim
