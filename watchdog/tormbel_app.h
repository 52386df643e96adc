#pragma once

// The watchdog program's start-up and run: the options and their checks, the single-instance
// lock, the window and the frame, and the message loop until the frame closes.

#include <string>
#include <vector>

namespace ruzd::watchdog {

inline constexpr int kRefusedExitCode = 1;
inline constexpr const char* kInstanceMutexName = "Global\\Tormbel";

// Runs the watchdog with the program's words (its name first) on the calling thread; the exit
// code. A stop request (SIGINT, SIGTERM) closes the frame as WM_CLOSE does; call it before any
// other thread starts, so that the stop signals reach its watcher.
int RunTormbel(const std::vector<std::string>& words);

}  // namespace ruzd::watchdog
