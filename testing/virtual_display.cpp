#include "testing/virtual_display.h"

#include <poll.h>
#include <unistd.h>

#include <cstdlib>

#include "testing/child_program.h"

namespace ruzd::testing {
namespace {

constexpr const char* kServer = "/usr/bin/Xvfb";
constexpr int kReadyPatienceMs = 20000;

}  // namespace

VirtualDisplay::VirtualDisplay(const std::string& screen) {
    int pipe_ends[2];
    if (::access(kServer, X_OK) != 0 || ::pipe(pipe_ends) != 0) {
        return;
    }
    // The server writes the number of the display it chose once it accepts clients.
    ProgramStart start;
    start.program = kServer;
    start.arguments = {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"};
    start.stdout_fd = pipe_ends[1];
    start.stderr_file = "/dev/null";
    pid_ = StartProgram(start);
    ::close(pipe_ends[1]);
    std::string number;
    pollfd wait{pipe_ends[0], POLLIN, 0};
    while (pid_ > 0 && ::poll(&wait, 1, kReadyPatienceMs) == 1) {
        char c;
        if (::read(pipe_ends[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    ::close(pipe_ends[0]);
    if (!number.empty()) {
        name_ = ":" + number;
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ > 0) {
        KillProgram(pid_);
        WaitForExitCode(pid_);
    }
}

}  // namespace ruzd::testing
