#include "watchdog/headless_frame_window.h"

#include <chrono>
#include <thread>

#include "platform/thread.h"

namespace ruzd::watchdog {

HeadlessFrameWindow::HeadlessFrameWindow() = default;

HeadlessFrameWindow::~HeadlessFrameWindow() {
    StopTickTimer();
}

bool HeadlessFrameWindow::Create() {
    thread_id_ = platform::CurrentThreadId();
    return window_.Create(kWindowClass, kWindowClass);
}

void HeadlessFrameWindow::SetTitle(const std::string& title) {
    window_.SetTitle(title);
}

void HeadlessFrameWindow::PostToSelf(uint32_t message) {
    platform::PostThreadMessage(thread_id_, message);
}

void HeadlessFrameWindow::StartTickTimer() {
    StopTickTimer();
    tick_timer_id_ = platform::SetThreadTimer(kTickPeriodMs);
}

void HeadlessFrameWindow::StopTickTimer() {
    if (tick_timer_id_ != 0) {
        platform::KillThreadTimer(tick_timer_id_);
        tick_timer_id_ = 0;
    }
}

void HeadlessFrameWindow::SleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void HeadlessFrameWindow::Close() {
    StopTickTimer();
    window_.Destroy();
    platform::PostQuitMessage(0);
}

}  // namespace ruzd::watchdog
