// ruzd-net: the stand-in for the Windows "net" command, of which only "net time" is used. The
// program runner starts it wherever a command line names "net.exe".

#include <iostream>
#include <string>
#include <vector>

#include "platform/net_time_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return ruzd::platform::RunNetCommand(arguments, ruzd::platform::SystemNetTimeEnvironment(),
                                         std::cout, std::cerr);
}
