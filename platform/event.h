#pragma once

#include "platform/waitable.h"

namespace ruzd::platform {

// A manual- or auto-reset event. A manual-reset event stays set until Reset() and releases
// every waiter; an auto-reset event releases one waiter and resets itself.
class Event : public Waitable {
public:
    explicit Event(bool manual_reset, bool initially_set = false)
        : manual_reset_(manual_reset), set_(initially_set) {}

    void Set();
    void Reset();
    bool IsSet() const;

protected:
    bool IsSignaledLocked() const override { return set_; }
    void OnAcquiredLocked() override;

private:
    const bool manual_reset_;
    bool set_;
};

}  // namespace ruzd::platform
