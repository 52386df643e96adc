#pragma once

// The three panes of the main window's status bar: the status text, the state of the link to
// the central server and a UTC clock.

#include <cstdint>
#include <string>

namespace ruzd::app {

// Least widths of the panes, in order; a pane grows when its text needs more.
inline constexpr int kPaneMinWidths[] = {200, 100, 80};

struct PaneTexts {
    std::string status;
    std::string connection = "NOT Connected";
    std::string clock = "UTC 00:00:00";

    void SetConnected(bool connected) { connection = connected ? "Connected" : "NOT Connected"; }
    // The manager's report of its link: "Starting" replaces the status text while it starts.
    void OnConnectionState(int32_t connected, int32_t starting);
    void SetClosing() { status = "Closing"; }
    void SetClock(int64_t utcSeconds);

    bool operator==(const PaneTexts&) const = default;
};

// "UTC %H:%M:%S" of a time in seconds since 1970.
std::string UtcClockText(int64_t utcSeconds);

}  // namespace ruzd::app
