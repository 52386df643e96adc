#pragma once

// The control socket's commands of the Amtelco boards beside their messages:
// "amtelcoring <board> <request> <digit>|none" (also a configuration setting) and
// "query amtelco <board>".

#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"

namespace ruzd::boardsim {

class AmtelcoBoards;
class Machine;

// Applies the words after "amtelcoring"; false when they cannot be read.
bool SetAmtelcoRing(AmtelcoBoards& boards, const std::vector<std::string>& words);

// The answer to one of these commands or queries; nullopt for any other.
std::optional<std::string> ExecuteAmtelcoCommand(Machine& machine, const std::vector<Word>& words);
std::optional<std::string> QueryAmtelco(Machine& machine, const std::vector<Word>& words);

}  // namespace ruzd::boardsim
