#include "foundation/worker_thread.h"

#include "foundation/app_hooks.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace ruzd::foundation {

uint32_t StartWorkerThread(const std::string& name, std::function<void()> body) {
    // The worker owns its thread object and lets it go when it ends; it waits until Start has
    // returned, so that the object is never destroyed under the starter's feet.
    auto worker = std::make_shared<platform::Thread>(name);
    auto resume = std::make_shared<platform::Event>(true);
    const bool started = worker->Start([worker, resume, body = std::move(body)] {
        resume->Wait(platform::kInfinite);
        body();
    });
    if (!started) {
        return 0;
    }
    const uint32_t id = worker->id();
    resume->Set();
    return id;
}

void PostWorkerResult(
    uint32_t notify_thread, uint32_t message, uintptr_t wparam, intptr_t lparam,
    const std::function<std::unique_ptr<platform::MessagePayload>()>& make_payload) {
    const auto payload = [&make_payload] {
        return make_payload ? make_payload() : std::unique_ptr<platform::MessagePayload>();
    };
    if (notify_thread != 0 &&
        platform::PostThreadMessage(notify_thread, message, wparam, lparam, payload())) {
        return;
    }
    if (message == 0) {
        return;
    }
    const uint32_t app_thread = CurrentApp().ApplicationThreadId();
    if (app_thread != 0) {
        platform::PostThreadMessage(app_thread, message, wparam, lparam, payload());
    }
}

}  // namespace ruzd::foundation
