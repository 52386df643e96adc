#include "foundation/program_on_thread.h"

#include <memory>

#include "foundation/app_hooks.h"
#include "foundation/program_runner.h"
#include "foundation/thread_names.h"
#include "platform/event.h"
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

std::unique_ptr<platform::MessagePayload> AsPayload(RunProgramResult result) {
    return std::make_unique<platform::PayloadOf<RunProgramResult>>(std::move(result));
}

void Deliver(const RunRequest& request, RunProgramResult result) {
    // A failed post frees its payload, so the first try gets a copy.
    if (request.notify_thread != 0 &&
        platform::PostThreadMessage(request.notify_thread, request.message, request.wparam, 0,
                                    AsPayload(result))) {
        return;
    }
    if (request.message == 0) {
        return;
    }
    const uint32_t app_thread = CurrentApp().ApplicationThreadId();
    if (app_thread != 0) {
        platform::PostThreadMessage(app_thread, request.message, request.wparam, 0,
                                    AsPayload(std::move(result)));
    }
}

void RunAndDeliver(const RunRequest& request) {
    const uint32_t self = platform::CurrentThreadId();
    ThreadNames::Set(
        self, platform::Format("RunProgramOnThreadFnct Cmd %s - Workdir: %s",
                               request.command_line.c_str(), request.working_folder.c_str()));
    RunProgramResult result;
    result.exit_code = ProgramRunner::Run(request.command_line, request.working_folder,
                                          result.output, kRunNoTimeout);
    Deliver(request, std::move(result));
    ThreadNames::Set(self, std::string());
}

}  // namespace

uint32_t RunProgramOnThread(const std::string& command_line, const std::string& working_folder,
                            uint32_t notify_thread, uint32_t message, uintptr_t wparam) {
    auto request = std::make_shared<RunRequest>(
        RunRequest{command_line, working_folder, notify_thread, message, wparam});
    // The worker owns its thread object and lets it go when it ends; it waits until Start has
    // returned, so that the object is never destroyed under the starter's feet.
    auto worker = std::make_shared<platform::Thread>("ProgramRunner");
    auto resume = std::make_shared<platform::Event>(true);
    const bool started = worker->Start([worker, resume, request] {
        resume->Wait(platform::kInfinite);
        RunAndDeliver(*request);
    });
    if (!started) {
        return 0;
    }
    const uint32_t id = worker->id();
    resume->Set();
    return id;
}

}  // namespace ruzd::foundation
