#include "testing/injected_failure.h"

#include "testing/child_program.h"
#include "testing/eventually.h"

namespace ruzd::testing {

InjectedFailure::InjectedFailure(pid_t pid, const std::filesystem::path& path,
                                 const std::string& syscall, const std::string& error) {
    ProgramStart start;
    start.program = "/usr/bin/strace";
    start.arguments = {"-f",
                       "-p",
                       std::to_string(pid),
                       "-P",
                       path.string(),
                       "-e",
                       "trace=" + syscall,
                       "-e",
                       "inject=" + syscall + ":error=" + error,
                       "-e",
                       "signal=none",
                       "-o",
                       (folder_.path() / "calls.txt").string()};
    start.stderr_file = folder_.path() / "strace.txt";
    strace_ = StartProgram(start);
    if (strace_ <= 0) {
        return;
    }
    // strace says "Process N attached" for each thread it holds, once it holds it.
    bool ended = false;
    Eventually([&] {
        ended = ExitCodeIfEnded(strace_).has_value();
        return ended || Output().find("attached") != std::string::npos;
    });
    if (ended) {
        strace_ = -1;  // reaped: strace could not attach
        return;
    }
    active_ = Output().find("attached") != std::string::npos;
}

InjectedFailure::~InjectedFailure() {
    if (strace_ > 0) {
        // An interrupted strace detaches, leaving the program running as it was.
        SendSignal(strace_, SIGINT);
        WaitForExitCode(strace_);
    }
}

std::string InjectedFailure::Output() const {
    return ReadWholeFile(folder_.path() / "strace.txt");
}

size_t InjectedFailure::Injected() const {
    // strace marks each call it made fail.
    const std::string calls = ReadWholeFile(folder_.path() / "calls.txt");
    const std::string mark = "(INJECTED)";
    size_t count = 0;
    for (size_t at = calls.find(mark); at != std::string::npos; at = calls.find(mark, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace ruzd::testing
