#pragma once

// Runs a program on a worker thread of its own and hands the result to another thread as the
// payload of a thread message, so that the caller never blocks on the child.

#include <cstdint>
#include <string>

namespace ruzd::foundation {

// The payload of the message that reports a run; the receiver owns it with the message.
struct RunProgramResult {
    int32_t exit_code = 0;  // the runner's result: the exit code or a negative failure
    std::string output;
};

// Starts a worker that runs `command_line` in `working_folder` without a time-out. When it
// ends, the worker posts `message` (wParam `wparam`, the RunProgramResult as payload) to
// `notify_thread` if that is set and the post succeeds; otherwise, unless `message` is 0, to
// the application's thread. Returns the worker's thread id, 0 when it could not be started.
uint32_t RunProgramOnThread(const std::string& command_line, const std::string& working_folder,
                            uint32_t notify_thread, uint32_t message, uintptr_t wparam);

}  // namespace ruzd::foundation
