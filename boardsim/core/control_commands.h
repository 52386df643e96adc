#pragma once

// The commands of the control socket: what the outside world does to the simulated boards
// (calls, digits, hang-ups, alarms, board messages, failing functions) and queries of the
// simulated state. Every command is answered with one line beginning "OK" or "ERR".
// boardsim/README.md lists them.

#include <string>

namespace ruzd::boardsim {

class Machine;

std::string ExecuteControlCommand(Machine& machine, const std::string& line);

}  // namespace ruzd::boardsim
