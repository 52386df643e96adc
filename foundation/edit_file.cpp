#include "foundation/edit_file.h"

#include <memory>
#include <optional>
#include <vector>

#include "foundation/crc32.h"
#include "foundation/file_association.h"
#include "foundation/process_windows.h"
#include "foundation/program_launch.h"
#include "foundation/started_programs.h"
#include "foundation/thread_names.h"
#include "foundation/worker_thread.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

struct EditRequest {
    std::string path;
    bool edit_verb_only = false;
    uint32_t notify_thread = 0;
    uint32_t message = 0;
    uintptr_t wparam = 0;
};

// 0 stands for "not known": a file whose checksum cannot be taken counts as changed.
uint32_t ChecksumOrZero(const std::string& path) {
    uint32_t crc = 0;
    return GetFileCrc32(path, crc) == 0 ? crc : 0;
}

// Starts the registered program and, when a message is wanted, waits for it to end; meanwhile
// the program is known under the worker's thread id.
void RunEditor(const EditRequest& request, uint32_t self) {
    const std::filesystem::path host = platform::MapWindowsPath(request.path);
    if (host.empty()) {
        return;
    }
    const std::optional<std::vector<std::string>> command =
        AssociatedCommand(host.string(), request.edit_verb_only);
    if (!command) {
        return;
    }
    const std::unique_ptr<platform::ChildProcess> editor =
        StartUserProgram(*command, host.parent_path().string());
    if (!editor) {
        return;
    }
    StartedPrograms::Add(self, static_cast<uint32_t>(editor->pid()));
    if (request.message != 0) {
        editor->ended().Wait(platform::kInfinite);
    }
    StartedPrograms::Remove(self);
}

void EditAndReport(const EditRequest& request) {
    const uint32_t self = platform::CurrentThreadId();
    ThreadNames::Set(self, platform::Format("EditFileThreadFnct file %s", request.path.c_str()));
    uint32_t before = 0;
    uint32_t after = 0;
    if (!request.path.empty()) {
        before = ChecksumOrZero(request.path);
        RunEditor(request, self);
        after = ChecksumOrZero(request.path);
    }
    const bool unchanged = before == after && before != 0;
    PostWorkerResult(request.notify_thread, request.message, request.wparam, unchanged ? 0 : 1,
                     nullptr);
    ThreadNames::Set(self, std::string());
}

}  // namespace

uint32_t EditFile(const std::string& path, bool edit_verb_only, uint32_t notify_thread,
                  uint32_t message, uintptr_t wparam) {
    auto request = std::make_shared<EditRequest>(
        EditRequest{path, edit_verb_only, notify_thread, message, wparam});
    return StartWorkerThread("EditFile", [request] { EditAndReport(*request); });
}

bool EndStartedProgram(uint32_t worker_thread, bool force, uint32_t limit_ms) {
    const std::optional<uint32_t> process = StartedPrograms::Find(worker_thread);
    if (!process) {
        return false;
    }
    return CloseProcessWindows(*process, force, limit_ms);
}

}  // namespace ruzd::foundation
