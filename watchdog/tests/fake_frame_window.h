#pragma once

// A frame window for tests that keeps what the frame asked of it.

#include <cstdint>
#include <string>
#include <vector>

#include "watchdog/frame_parts.h"

namespace ruzd::watchdog {

class FakeWindow : public FrameWindow {
public:
    void SetTitle(const std::string& title) override { titles.push_back(title); }
    void PostToSelf(uint32_t message) override { posted.push_back(message); }
    void StartTickTimer() override { ++timer_starts; }
    void StopTickTimer() override { ++timer_stops; }
    void Flash() override { ++flashes; }
    void Beep() override { ++beeps; }
    void SleepMs(uint32_t) override {}
    void Close() override { closed = true; }

    std::vector<std::string> titles;
    std::vector<uint32_t> posted;
    int timer_starts = 0;
    int timer_stops = 0;
    int flashes = 0;
    int beeps = 0;
    bool closed = false;
};

}  // namespace ruzd::watchdog
