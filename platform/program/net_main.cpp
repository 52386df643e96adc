// ruzd-net: the stand-in for the Windows "net" command, of which only "net time" is used. The
// program runner starts it wherever a command line names "net.exe". Asked for help, it prints
// its usage and asks no time server.

#include <iostream>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/net_time_command.h"
#include "platform/sntp_client.h"

namespace {

bool AsksForHelp(const std::vector<std::string>& arguments) {
    return !arguments.empty() && ruzd::platform::IsHelpWord(arguments.front());
}

void PrintUsage() {
    std::cout
        << "Usage: ruzd-net time \\\\<host> [/set] [/y]\n"
           "The stand-in for the Windows \"net\" command, of which the node runs only\n"
           "\"net time\".\n"
           "  time \\\\<host>    ask the host's time server (SNTP) for the time and print it\n"
           "  /set             also set this machine's clock to it (as root with "
        << ruzd::platform::kSetClockVariable
        << "=1;\n"
           "                   else it says what it would have set)\n"
           "  /y               taken and ignored: nothing is asked\n"
           "  -h, --help, /?   print this text and end\n"
           "The time server's port is 123, or the one "
        << ruzd::platform::kSntpPortVariable << " names.\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (AsksForHelp(arguments)) {
        PrintUsage();
        return 0;
    }
    return ruzd::platform::RunNetCommand(arguments, ruzd::platform::SystemNetTimeEnvironment(),
                                         std::cout, std::cerr);
}
