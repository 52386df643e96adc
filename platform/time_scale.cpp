#include "platform/time_scale.h"

#include <charconv>
#include <cstdlib>

namespace ruzd::platform {

std::optional<uint32_t> ParseTimeScale(std::string_view text) {
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kMaxTimeScale) {
        return std::nullopt;
    }
    return value;
}

uint32_t TimeScale() {
    static const uint32_t scale = [] {
        const char* text = std::getenv("RUZD_TIME_SCALE");
        return text != nullptr ? ParseTimeScale(text).value_or(1) : 1;
    }();
    return scale;
}

}  // namespace ruzd::platform
