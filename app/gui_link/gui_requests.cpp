#include "app/gui_link/gui_requests.h"

#include "foundation/app_hooks.h"
#include "platform/message_queue.h"

namespace ruzd::app {

int32_t GuiRequests::Open() {
    std::unique_lock lock(lock_);
    // The counter wraps as a 32-bit number of the other side would.
    const int32_t id = static_cast<int32_t>(static_cast<uint32_t>(counter_) + 1);
    counter_ = id;
    for (auto found = open_.find(id); found != open_.end() && !shut_; found = open_.find(id)) {
        const std::shared_ptr<Request> earlier = found->second;
        lock.unlock();
        earlier->closed.Wait(kReuseWaitSliceMs);
        lock.lock();
    }
    auto request = std::make_shared<Request>();
    if (shut_) {
        request->answered.Set();
    }
    open_[id] = std::move(request);
    return id;
}

bool GuiRequests::Complete(int32_t id, GuiAnswer answer) {
    std::lock_guard lock(lock_);
    const auto found = open_.find(id);
    if (found == open_.end() || found->second->answer) {
        return false;
    }
    found->second->answer = std::move(answer);
    found->second->answered.Set();
    return true;
}

bool GuiRequests::CompleteFrom(net::CInputStreamSocket& message) {
    int32_t id = 0;
    GuiAnswer answer;
    message.ReadInt(id).ReadInt(answer.value).ReadString(answer.text).ReadInt(answer.flag);
    if (!message.IsOk()) {
        return false;
    }
    Complete(id, std::move(answer));
    return true;
}

std::optional<GuiAnswer> GuiRequests::Wait(int32_t id, uint32_t limit_ms) {
    std::shared_ptr<Request> request;
    {
        std::lock_guard lock(lock_);
        const auto found = open_.find(id);
        if (found == open_.end()) {
            return std::nullopt;
        }
        request = found->second;
    }
    foundation::AppHooks& app = foundation::CurrentApp();
    if (app.IsApplicationThread()) {
        platform::WaitPumping(request->answered, limit_ms,
                              [&app](platform::Message& message) { app.PumpMessage(message); });
    } else {
        request->answered.Wait(limit_ms);
    }
    std::lock_guard lock(lock_);
    open_.erase(id);
    // Whoever waits to reuse the number goes on.
    request->closed.Set();
    return std::move(request->answer);
}

void GuiRequests::Shut() {
    std::lock_guard lock(lock_);
    shut_ = true;
    for (auto& [id, request] : open_) {
        request->answered.Set();
        request->closed.Set();
    }
}

}  // namespace ruzd::app
