#include "foundation/utilities.h"

#include <cstdarg>

#include "foundation/edit_file.h"
#include "foundation/process_user.h"
#include "foundation/process_windows.h"
#include "foundation/program_launch.h"
#include "foundation/thread_names.h"
#include "platform/kernel_thread.h"
#include "platform/text.h"

namespace ruzd::foundation {

int CUtilities::RunProgramAndCaptureOutput(const std::string& command_line,
                                           const std::string& working_folder, std::string& output,
                                           uint32_t timeout_ms) {
    return ProgramRunner::Run(command_line, working_folder, output, timeout_ms);
}

int CUtilities::RunSelfAndCaptureOutput(const std::string& arguments, std::string& output,
                                        uint32_t timeout_ms) {
    return ProgramRunner::RunSelf(arguments, output, timeout_ms);
}

uint32_t CUtilities::RunProgramOnThread(const std::string& command_line,
                                        const std::string& working_folder, uint32_t notify_thread,
                                        uint32_t message, uintptr_t wparam) {
    return foundation::RunProgramOnThread(command_line, working_folder, notify_thread, message,
                                          wparam);
}

void CUtilities::SetThreadName(uint32_t thread_id, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string name = platform::FormatV(format, args);
    va_end(args);
    ThreadNames::Set(thread_id, name);
}

void CUtilities::RemoveThreadName(uint32_t thread_id) {
    ThreadNames::Set(thread_id, std::string());
}

std::string CUtilities::GetThreadDisplayName(uint32_t thread_id) {
    return ThreadNames::DisplayName(thread_id);
}

void CUtilities::ClearThreadNames() {
    ThreadNames::Clear();
}

bool CUtilities::WaitForSingleObjectPumping(platform::Waitable& object, uint32_t seconds) {
    return foundation::WaitForSingleObjectPumping(object, seconds);
}

bool CUtilities::WaitForSingleObjectUsingDialog(platform::Waitable& object, uint32_t seconds) {
    // The modal loop dispatches the messages of the thread's windows while it waits. Here only
    // the application thread has somebody to take its messages; on any other thread they stay
    // queued for the thread's own loop rather than being dropped.
    return foundation::WaitForSingleObjectPumping(object, seconds);
}

bool CUtilities::GetProcessUserName(uint32_t process_id, std::string& user, std::string& domain) {
    return foundation::GetProcessUserName(process_id, user, domain);
}

uint32_t CUtilities::EditFile(const std::string& path, uint32_t notify_thread, uint32_t message,
                              uintptr_t wparam) {
    return foundation::EditFile(path, false, notify_thread, message, wparam);
}

uint32_t CUtilities::EditFile(const std::string& path, bool edit_verb_only, uint32_t notify_thread,
                              uint32_t message, uintptr_t wparam) {
    return foundation::EditFile(path, edit_verb_only, notify_thread, message, wparam);
}

bool CUtilities::EndStartedProgram(uint32_t worker_thread, bool force, uint32_t limit_ms) {
    return foundation::EndStartedProgram(worker_thread, force, limit_ms);
}

bool CUtilities::LaunchWithTemplate(const std::string& command_template,
                                    const std::string& argument) {
    return foundation::LaunchWithTemplate(command_template, argument);
}

bool CUtilities::ShowInExplorer(const std::string& path) {
    return foundation::ShowInExplorer(path);
}

bool CUtilities::RunDetachedInJob(const std::string& command_line,
                                  const std::string& working_folder) {
    return foundation::RunDetachedInJob(command_line, working_folder);
}

bool CUtilities::CloseProcessWindows(uint32_t process_id, bool force, uint32_t limit_ms) {
    return foundation::CloseProcessWindows(process_id, force, limit_ms);
}

bool CUtilities::IsThreadRunning(uint32_t thread_id) {
    return platform::IsKernelThreadRunning(thread_id);
}

}  // namespace ruzd::foundation
