#pragma once

// The frame's window in a headless watchdog: a message window of class "Tormbel" on the thread
// that makes it, which the node finds by its class and sends its heartbeat. The tick is a thread
// timer; flashing and beeping have nothing to show on.

#include <cstdint>
#include <string>

#include "platform/message_window.h"
#include "watchdog/frame_parts.h"

namespace ruzd::watchdog {

inline constexpr const char* kWindowClass = "Tormbel";
inline constexpr uint32_t kTickPeriodMs = 1000;

class HeadlessFrameWindow : public FrameWindow {
public:
    HeadlessFrameWindow();
    ~HeadlessFrameWindow() override;

    // Creates the window for the calling thread; false when it cannot be made.
    bool Create();
    uint32_t tick_timer_id() const { return tick_timer_id_; }

    void SetTitle(const std::string& title) override;
    void PostToSelf(uint32_t message) override;
    void StartTickTimer() override;
    void StopTickTimer() override;
    void Flash() override {}
    void Beep() override {}
    void SleepMs(uint32_t milliseconds) override;
    void Close() override;

private:
    platform::MessageWindow window_;
    uint32_t thread_id_ = 0;
    uint32_t tick_timer_id_ = 0;
};

}  // namespace ruzd::watchdog
