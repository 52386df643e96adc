// ruzd-svcrun: the local service manager's supervisor (platform/service_supervisor.h). The
// service manager starts it for each service it starts; "ruzd-svcrun boot" starts the automatic
// services at the machine's start.

#include <string>
#include <vector>

#include "platform/service_supervisor.h"

int main(int argc, char** argv) {
    return ruzd::platform::RunServiceSupervisor(std::vector<std::string>(argv + 1, argv + argc));
}
