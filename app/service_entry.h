#pragma once

// The node program's way into the service framework ("-service"): run under the service
// manager, or carry out one of the verbs that install, remove and control the node's service.

#include <string>
#include <vector>

namespace ruzd::app {

// Carries out what `words` (the command line behind the program name) ask of the node's
// service and returns the process's exit status (ServiceExitStatus). An installed node always
// starts automatically, with "-service" on its command line, and is restarted at once when it
// fails, unless the command line gave failure actions of its own. The node run under the service
// manager or in the console ("-service -console") that cannot start (its registry file cannot be
// read, say) ends with 1, as a plain run does.
int RunNodeService(const std::vector<std::string>& words);

}  // namespace ruzd::app
