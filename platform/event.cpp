#include "platform/event.h"

namespace ruzd::platform {

void Event::Set() {
    auto lock = LockState();
    set_ = true;
    NotifyWaitersLocked();
}

void Event::Reset() {
    auto lock = LockState();
    set_ = false;
}

bool Event::IsSet() const {
    auto lock = LockState();
    return set_;
}

void Event::OnAcquiredLocked() {
    if (!manual_reset_) {
        set_ = false;
    }
}

}  // namespace ruzd::platform
