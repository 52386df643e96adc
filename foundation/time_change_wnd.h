#pragma once

// CTimeChangeWnd: where the machine's time-change notices arrive. Windows announces a change of
// its clock or zone to top-level windows only, so a hidden window used to take the news; here a
// thread of its own with a message queue plays that window, and a platform::TimeChangeWatch
// posts it WM_TIMECHANGE. Half a second after the first change of a burst (further changes in
// between add nothing) it re-reads the zone (TimeTools::RefreshTimeZone), runs the change
// callback and posts every registered window and thread its message.
//
// The thread runs from the first registration with a message (or the first callback) until
// nobody listens and no callback is set; a later registration starts it again.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "foundation/notice_listeners.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/thread.h"
#include "platform/window_message.h"

namespace ruzd::foundation {

class CTimeChangeWnd {
public:
    using Callback = void (*)();

    // The one instance of the process.
    static CTimeChangeWnd& Instance();

    // Enters or removes one window or thread (NoticeListeners::Register), starting the notice
    // thread for a message that is not 0 and ending it when it is left idle.
    void Register(const platform::WindowHandle& window, uint32_t thread_id, uint32_t message);
    // Sets (or with null clears) the function run on the notice thread after each refresh.
    void SetCallback(Callback callback);
    // Posts every registered window and thread its message.
    void NotifyListeners();

    // The notice thread, 0 while none runs: a WM_TIMECHANGE posted there is taken as a change.
    uint32_t ThreadId() const;
    bool IsListener(const platform::WindowHandle& window) const;
    bool IsListener(uint32_t thread_id) const;

private:
    CTimeChangeWnd() = default;

    void CreateLocked();
    // Ends the notice thread when nobody listens and no callback is set; the thread object
    // comes back to be let go outside the lock, since the notice thread takes the lock too.
    std::unique_ptr<platform::Thread> DestroyWhenIdleLocked();
    // The notice thread; `watching` is set once the watch is set up.
    void Run(platform::Event& watching);
    // The notice waiting for its timer, on the notice thread: a new notice thread may start
    // while an old one is still ending.
    struct PendingNotice {
        bool pending = false;
        uint32_t timer = 0;
    };
    void WindowProc(const platform::Message& message, PendingNotice& notice);

    mutable std::recursive_mutex lock_;
    NoticeListeners listeners_;
    std::atomic<Callback> callback_{nullptr};
    std::unique_ptr<platform::Thread> thread_;
};

}  // namespace ruzd::foundation
