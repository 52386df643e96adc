#pragma once

// The window system's monitors and clipboard for the foundation's helpers (CUtilities'
// EnumMonitors, GetMonitorRects, GetMonitorRectsAtPoint, SetClipboardText and GetClipboardText),
// through wxWidgets: its displays (each monitor's whole area and its work area) and its
// clipboard (text, UTF-8 inside). Only the window program has a window system; the headless
// node and the watchdog install no provider and so see no monitors and no clipboard.
//
// The toolkit is called on the window's thread only; a call from another thread is handed to the
// window's loop and waits for it (see window_thread.h), up to 30 seconds: a loop that does not
// come round by then (it waits for the caller, say) leaves the caller without an answer rather
// than both waiting for ever. Once the loop has ended another thread gets no answer.
//
// A monitor's handle is its place in the toolkit's list, from 1; monitors that come or go change
// the places.

#include "foundation/display_provider.h"

namespace ruzd::app::window {

// Installs the provider for as long as the object lives, which must be within the toolkit's life
// (after wxEntryStart, before wxEntryCleanup); the provider it replaced comes back at its end.
class ScopedDisplayProvider {
public:
    ScopedDisplayProvider();
    ~ScopedDisplayProvider();
    ScopedDisplayProvider(const ScopedDisplayProvider&) = delete;
    ScopedDisplayProvider& operator=(const ScopedDisplayProvider&) = delete;

private:
    foundation::DisplayProvider* const replaced_;
};

}  // namespace ruzd::app::window
