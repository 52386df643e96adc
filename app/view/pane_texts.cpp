#include "app/view/pane_texts.h"

#include <cstdio>

namespace ruzd::app {

void PaneTexts::OnConnectionState(int32_t connected, int32_t starting) {
    SetConnected(connected != 0);
    if (starting != 0) {
        status = "Starting";
    }
}

void PaneTexts::SetClock(int64_t utcSeconds) {
    clock = UtcClockText(utcSeconds);
}

std::string UtcClockText(int64_t utcSeconds) {
    constexpr int64_t kDay = 86400;
    const int64_t ofDay = ((utcSeconds % kDay) + kDay) % kDay;
    char text[32];
    std::snprintf(text, sizeof text, "UTC %02d:%02d:%02d", static_cast<int>(ofDay / 3600),
                  static_cast<int>(ofDay / 60 % 60), static_cast<int>(ofDay % 60));
    return text;
}

}  // namespace ruzd::app
