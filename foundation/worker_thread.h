#pragma once

// The worker-thread pattern of the program runner and the file launcher: a thread that owns
// itself and ends on its own, and the result it posts when it is done.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/message_queue.h"

namespace ruzd::foundation {

// Starts `body` on a thread of its own that lets itself go when the body returns. The body runs
// only once the thread's id is known to the starter. Returns that id, 0 when the thread could
// not be started.
uint32_t StartWorkerThread(const std::string& name, std::function<void()> body);

// Posts a worker's result: to `notify_thread` when that is set and the post succeeds, otherwise,
// unless `message` is 0, to the application's thread. `make_payload` (may be null) makes the
// payload for each try, since a failed post frees the one it was given.
void PostWorkerResult(
    uint32_t notify_thread, uint32_t message, uintptr_t wparam, intptr_t lparam,
    const std::function<std::unique_ptr<platform::MessagePayload>()>& make_payload);

}  // namespace ruzd::foundation
