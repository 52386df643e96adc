#pragma once

// Opens a file for the user in the program the desktop has registered for it, on a worker thread
// that reports afterwards whether the file changed, and lets a caller ask that program to close.

#include <cstdint>
#include <string>

namespace ruzd::foundation {

// Starts a worker that starts the program registered to open the file (the "edit" command when
// there is no "open" one; with `edit_verb_only` the "edit" command alone) in the file's folder.
// When `message` is not 0 the worker waits for the program to end. It then posts `message`
// (wParam `wparam`, lParam 1 when the file changed or its change cannot be told, 0 when it is
// unchanged) as RunProgramOnThread posts its result: to `notify_thread` when that takes it,
// else, unless the message is 0, to the application's thread. An empty path posts 1 at once.
// `path` is a Windows path. Returns the worker's thread id, 0 when it could not be started.
uint32_t EditFile(const std::string& path, bool edit_verb_only, uint32_t notify_thread,
                  uint32_t message, uintptr_t wparam);

// Asks the program that the worker started to close (see CloseProcessWindows); false when the
// worker holds no program.
bool EndStartedProgram(uint32_t worker_thread, bool force, uint32_t limit_ms);

}  // namespace ruzd::foundation
