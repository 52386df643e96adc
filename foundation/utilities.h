#pragma once

// The static helpers the rest of the code calls by one name: the program runner and its
// wrappers, thread names, the message-pumping waits, the account of a process, and the launching
// of programs and files for the user. Each operation lives in a small file of its own; this
// class only gathers them.

#include <cstdint>
#include <string>

#include "foundation/program_on_thread.h"
#include "foundation/program_runner.h"
#include "foundation/pumping_wait.h"
#include "platform/waitable.h"

namespace ruzd::foundation {

class CUtilities {
public:
    CUtilities() = delete;

    // See ProgramRunner::Run: the exit code (0 to 255) or a RunFailure.
    static int RunProgramAndCaptureOutput(const std::string& command_line,
                                          const std::string& working_folder, std::string& output,
                                          uint32_t timeout_ms);
    // Runs this program's own executable with `arguments` in the current folder.
    static int RunSelfAndCaptureOutput(const std::string& arguments, std::string& output,
                                       uint32_t timeout_ms);
    // See foundation/program_on_thread.h.
    static uint32_t RunProgramOnThread(const std::string& command_line,
                                       const std::string& working_folder, uint32_t notify_thread,
                                       uint32_t message, uintptr_t wparam);

    // printf-style; an empty text removes the thread's name, as RemoveThreadName does (which
    // spares callers an empty format string).
    static void SetThreadName(uint32_t thread_id, const char* format, ...)
        __attribute__((format(printf, 2, 3)));
    static void RemoveThreadName(uint32_t thread_id);
    static std::string GetThreadDisplayName(uint32_t thread_id);
    static void ClearThreadNames();

    static bool WaitForSingleObjectPumping(platform::Waitable& object, uint32_t seconds);
    // The wait of a modal loop that shows nothing: the same wait as WaitForSingleObjectPumping
    // (a limit of kWaitNoLimitSeconds is none).
    static bool WaitForSingleObjectUsingDialog(platform::Waitable& object, uint32_t seconds);

    static bool GetProcessUserName(uint32_t process_id, std::string& user, std::string& domain);

    // See foundation/edit_file.h; the first form is not limited to the "edit" command.
    static uint32_t EditFile(const std::string& path, uint32_t notify_thread, uint32_t message,
                             uintptr_t wparam);
    static uint32_t EditFile(const std::string& path, bool edit_verb_only, uint32_t notify_thread,
                             uint32_t message, uintptr_t wparam);
    static bool EndStartedProgram(uint32_t worker_thread, bool force, uint32_t limit_ms);
    // See foundation/program_launch.h.
    static bool LaunchWithTemplate(const std::string& command_template,
                                   const std::string& argument);
    static bool ShowInExplorer(const std::string& path);
    static bool RunDetachedInJob(const std::string& command_line,
                                 const std::string& working_folder);
    // See foundation/process_windows.h.
    static bool CloseProcessWindows(uint32_t process_id, bool force, uint32_t limit_ms);
    // Whether the thread (a kernel thread id, of any process) exists and has not ended.
    static bool IsThreadRunning(uint32_t thread_id);
};

}  // namespace ruzd::foundation
