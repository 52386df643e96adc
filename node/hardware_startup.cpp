#include "node/hardware_startup.h"

#include <chrono>
#include <thread>

#include "foundation/app_hooks.h"
#include "platform/message_queue.h"

namespace ruzd::node {

void PauseKeepingMessagesMoving(uint32_t milliseconds) {
    foundation::AppHooks& app = foundation::CurrentApp();
    if (app.IsApplicationThread()) {
        platform::Message message;
        while (platform::PeekMessage(message, true)) {
            if (message.id == platform::kWmQuit) {
                platform::PostQuitMessage(static_cast<int>(message.wparam));
                break;
            }
            app.PumpMessage(message);
            message = platform::Message{};
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace ruzd::node
