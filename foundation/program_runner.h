#pragma once

// Runs a console program to its end (or to a time-out) and collects what it writes to standard
// output and standard error, interleaved as written, into one text.

#include <cstdint>
#include <string>
#include <vector>

namespace ruzd::foundation {

// Results below zero; zero and above is the child's exit code (0 to 255).
enum RunFailure : int {
    kRunPipeFailed = -2,           // the pipe for the child's output could not be made
    kRunStandardErrorFailed = -3,  // the child's standard error could not be set up
    kRunReadEndFailed = -4,        // the pipe's reading end could not be set up
    kRunStartFailed = -5,          // the program could not be started (not found, bad folder, ...)
    kRunTimedOut = -6,             // the time-out passed
    kRunNoExitCode = -7,           // the child gave no exit code: a signal killed it
};

constexpr uint32_t kRunNoTimeout = 0xFFFFFFFF;

class ProgramRunner {
public:
    // Runs `command_line` (split like a Windows command line; a program name without '/' is
    // searched on PATH; a Windows program we stand in for runs ours, see
    // foundation/stand_in_programs.h) in `working_folder` (empty: the caller's current folder),
    // with the caller's standard input. The child leads a process group of its own, which ends with
    // the run: when the time-out passes, and once the child has ended, whatever is left of the
    // group is killed, so a timed-out child is gone with everything it started unless that moved to
    // a group of its own. `output` is emptied first and holds everything collected, also after a
    // time-out. The time-out is kept even while the child writes without pause.
    static int Run(const std::string& command_line, const std::string& working_folder,
                   std::string& output, uint32_t timeout_ms);

    // The same with the arguments as they are, the program first: no splitting, no quoting, so
    // an argument can never become two.
    static int RunArguments(std::vector<std::string> arguments, const std::string& working_folder,
                            std::string& output, uint32_t timeout_ms);
    // Runs this program's own executable with `arguments`, in the current folder.
    static int RunSelf(const std::string& arguments, std::string& output, uint32_t timeout_ms);
};

}  // namespace ruzd::foundation
