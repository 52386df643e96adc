#pragma once

// The display monitors and the clipboard belong to the window system, which only a window
// program has: it installs a provider (its toolkit's displays and clipboard); without one there
// are no monitors and no clipboard.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::foundation {

// A monitor as the provider names it.
using MonitorHandle = uintptr_t;

// Pixels on the virtual screen; right and bottom lie just outside.
struct DisplayRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool Contains(int32_t x, int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
};

struct DisplayPoint {
    int32_t x = 0;
    int32_t y = 0;
};

class DisplayProvider {
public:
    virtual ~DisplayProvider() = default;

    // Every monitor of the virtual screen; none when they cannot be listed.
    virtual std::optional<std::vector<MonitorHandle>> Monitors() = 0;
    // The monitor's work area (without panels and task bars) and its whole area.
    virtual bool MonitorRects(MonitorHandle monitor, DisplayRect* work, DisplayRect* area) = 0;

    virtual void SetClipboardText(const std::string& text) = 0;
    // The clipboard's text; empty when it holds none.
    virtual std::string ClipboardText() = 0;
};

// Makes `provider` the one in use (null: none) and returns the one it replaces. The provider
// must outlive its installation.
DisplayProvider* InstallDisplayProvider(DisplayProvider* provider);
DisplayProvider* CurrentDisplayProvider();

}  // namespace ruzd::foundation
