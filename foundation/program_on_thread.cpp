#include "foundation/program_on_thread.h"

#include <memory>

#include "foundation/program_runner.h"
#include "foundation/thread_names.h"
#include "foundation/worker_thread.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

struct RunRequest {
    std::string command_line;
    std::string working_folder;
    uint32_t notify_thread = 0;
    uint32_t message = 0;
    uintptr_t wparam = 0;
};

void Deliver(const RunRequest& request, const RunProgramResult& result) {
    PostWorkerResult(request.notify_thread, request.message, request.wparam, 0, [&result] {
        return std::make_unique<platform::PayloadOf<RunProgramResult>>(result);
    });
}

void RunAndDeliver(const RunRequest& request) {
    const uint32_t self = platform::CurrentThreadId();
    ThreadNames::Set(
        self, platform::Format("RunProgramOnThreadFnct Cmd %s - Workdir: %s",
                               request.command_line.c_str(), request.working_folder.c_str()));
    RunProgramResult result;
    result.exit_code = ProgramRunner::Run(request.command_line, request.working_folder,
                                          result.output, kRunNoTimeout);
    Deliver(request, result);
    ThreadNames::Set(self, std::string());
}

}  // namespace

uint32_t RunProgramOnThread(const std::string& command_line, const std::string& working_folder,
                            uint32_t notify_thread, uint32_t message, uintptr_t wparam) {
    auto request = std::make_shared<RunRequest>(
        RunRequest{command_line, working_folder, notify_thread, message, wparam});
    return StartWorkerThread("ProgramRunner", [request] { RunAndDeliver(*request); });
}

}  // namespace ruzd::foundation
