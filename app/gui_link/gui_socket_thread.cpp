#include "app/gui_link/gui_socket_thread.h"

#include <string>
#include <vector>

#include "app/gui_link/gui_socket.h"
#include "platform/message_queue.h"

namespace ruzd::app {

CVesmarinGUISocketThread::CVesmarinGUISocketThread(CVesmarinGUISocket* socket) : socket_(socket) {
    platform::Event running(true);
    thread_.Start([this, &running] {
        platform::EnsureMessageQueue();
        const uint32_t timer = platform::SetThreadTimer(kCheckPeriodMs);
        running.Set();
        platform::RunMessageLoop([this, timer](platform::Message& message) {
            if (message.id == platform::kWmTimer && message.wparam == timer) {
                OnTick();
            }
        });
        platform::KillThreadTimer(timer);
    });
    // A quit posted before the thread has its queue would be lost.
    running.Wait(platform::kInfinite);
}

CVesmarinGUISocketThread::~CVesmarinGUISocketThread() {
    platform::PostThreadMessage(thread_.id(), platform::kWmQuit);
    thread_.Join();
}

void CVesmarinGUISocketThread::AddPendingBox(int32_t id, foundation::MessageBoxAnswer answer) {
    std::lock_guard lock(lock_);
    pending_[id] = std::move(answer);
}

void CVesmarinGUISocketThread::OnTick() {
    socket_->CheckConnection();
    std::vector<std::pair<int32_t, int32_t>> answered;
    {
        std::lock_guard lock(lock_);
        for (auto entry = pending_.begin(); entry != pending_.end();) {
            const uint32_t word = entry->second->load();
            if (word == foundation::kMessageBoxWaiting || word == foundation::kMessageBoxShowing) {
                ++entry;
                continue;
            }
            answered.emplace_back(entry->first, static_cast<int32_t>(word));
            entry = pending_.erase(entry);
        }
    }
    for (const auto& [id, word] : answered) {
        socket_->SendResult(id, word, std::string(), 1);
    }
}

}  // namespace ruzd::app
