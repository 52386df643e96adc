#include "foundation/time_change_wnd.h"

#include "foundation/time_tools.h"
#include "foundation/trace.h"
#include "platform/event.h"
#include "platform/time_change_watch.h"

namespace ruzd::foundation {
namespace {

// How long the notice waits after the first change, for the rest of a burst to arrive.
constexpr uint32_t kSettleMs = 500;

}  // namespace

CTimeChangeWnd& CTimeChangeWnd::Instance() {
    // Never destroyed: a listener may still be registered while the process exits.
    static CTimeChangeWnd* instance = new CTimeChangeWnd();
    return *instance;
}

void CTimeChangeWnd::Register(const platform::WindowHandle& window, uint32_t thread_id,
                              uint32_t message) {
    std::unique_ptr<platform::Thread> ended;
    {
        std::lock_guard lock(lock_);
        if (!thread_ && message != 0) {
            CreateLocked();
        }
        listeners_.Register(window, thread_id, message);
        ended = DestroyWhenIdleLocked();
    }
}

void CTimeChangeWnd::SetCallback(Callback callback) {
    std::unique_ptr<platform::Thread> ended;
    {
        std::lock_guard lock(lock_);
        if (!thread_ && callback != nullptr) {
            CreateLocked();
        }
        callback_.store(callback);
        ended = DestroyWhenIdleLocked();
    }
}

void CTimeChangeWnd::NotifyListeners() {
    std::lock_guard lock(lock_);
    listeners_.PostAll();
}

uint32_t CTimeChangeWnd::ThreadId() const {
    std::lock_guard lock(lock_);
    return thread_ ? thread_->id() : 0;
}

bool CTimeChangeWnd::IsListener(const platform::WindowHandle& window) const {
    std::lock_guard lock(lock_);
    return listeners_.Contains(window);
}

bool CTimeChangeWnd::IsListener(uint32_t thread_id) const {
    std::lock_guard lock(lock_);
    return listeners_.Contains(thread_id);
}

void CTimeChangeWnd::CreateLocked() {
    auto thread = std::make_unique<platform::Thread>("CTimeChangeWnd");
    // Registered receivers hear of every change from the moment they are registered: the watch
    // is set up before the registration goes on.
    auto watching = std::make_shared<platform::Event>(true);
    if (thread->Start([this, watching] { Run(*watching); })) {
        watching->Wait(platform::kInfinite);
        thread_ = std::move(thread);
    }
}

std::unique_ptr<platform::Thread> CTimeChangeWnd::DestroyWhenIdleLocked() {
    if (!thread_ || callback_.load() != nullptr || !listeners_.empty()) {
        return nullptr;
    }
    platform::PostThreadMessage(thread_->id(), platform::kWmQuit);
    return std::move(thread_);
}

void CTimeChangeWnd::Run(platform::Event& watching) {
    const uint32_t self = platform::CurrentThreadId();
    platform::TimeChangeWatch watch(
        [self] { platform::PostThreadMessage(self, platform::kWmTimeChange); });
    watch.Start();
    watching.Set();
    // Without the watch only the notices posted by hand arrive; the listeners stay served.
    if (!watch.watches_clock()) {
        Trace(kTraceCallId, 0, "CTimeChangeWnd: steps of the clock cannot be watched");
    }
    if (!watch.watches_zone_folder()) {
        Trace(kTraceCallId, 0, "CTimeChangeWnd: the zone folder %s cannot be watched",
              platform::ZoneWatchFolder().c_str());
    }
    PendingNotice notice;
    platform::RunMessageLoop(
        [this, &notice](platform::Message& message) { WindowProc(message, notice); });
    if (notice.pending) {
        platform::KillThreadTimer(notice.timer);
    }
}

void CTimeChangeWnd::WindowProc(const platform::Message& message, PendingNotice& notice) {
    if (message.id == platform::kWmTimeChange) {
        if (!notice.pending) {
            notice.pending = true;
            notice.timer = platform::SetThreadTimer(kSettleMs);
        }
    } else if (message.id == platform::kWmTimer) {
        platform::KillThreadTimer(notice.timer);
        notice.pending = false;
        TimeTools::RefreshTimeZone();
        if (const Callback callback = callback_.load()) {
            callback();
        }
        NotifyListeners();
    }
}

}  // namespace ruzd::foundation
