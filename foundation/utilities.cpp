#include "foundation/utilities.h"

#include <cstdarg>

#include "foundation/process_user.h"
#include "foundation/thread_names.h"
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

bool CUtilities::GetProcessUserName(uint32_t process_id, std::string& user, std::string& domain) {
    return foundation::GetProcessUserName(process_id, user, domain);
}

}  // namespace ruzd::foundation
