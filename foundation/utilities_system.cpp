#include <bit>
#include <optional>

#include "foundation/utilities.h"
#include "platform/listener_process.h"
#include "platform/uuid_text.h"

namespace ruzd::foundation {

std::string CUtilities::NewUuidString() {
    return platform::NewUuidText();
}

uint32_t CUtilities::GetPrimaryDomain(std::string& name, bool* /*is_workgroup_of_own_name*/) {
    name.clear();
    return 0;
}

uint32_t CUtilities::GetListenerProcessId(uint32_t port_in_network_order) {
    uint16_t port = static_cast<uint16_t>(port_in_network_order & 0xFFFF);
    if constexpr (std::endian::native == std::endian::little) {
        port = static_cast<uint16_t>((port >> 8) | (port << 8));
    }
    return platform::ListenerProcessId(port).value_or(0);
}

std::string CUtilities::GetProcessImagePath(uint32_t process_id) {
    if (process_id == 0) {
        return {};
    }
    return platform::ProcessImagePath(process_id).value_or(std::string());
}

int32_t CUtilities::EnumMonitors(std::vector<MonitorHandle>& monitors) {
    DisplayProvider* provider = CurrentDisplayProvider();
    const std::optional<std::vector<MonitorHandle>> listed =
        provider != nullptr ? provider->Monitors() : std::nullopt;
    if (!listed) {
        return -1;
    }
    monitors = *listed;
    return static_cast<int32_t>(monitors.size());
}

bool CUtilities::GetMonitorRects(MonitorHandle monitor, DisplayRect* work, DisplayRect* area) {
    DisplayProvider* provider = CurrentDisplayProvider();
    DisplayRect found_work;
    DisplayRect found_area;
    if (provider == nullptr || !provider->MonitorRects(monitor, &found_work, &found_area)) {
        return false;
    }
    if (work != nullptr) {
        *work = found_work;
    }
    if (area != nullptr) {
        *area = found_area;
    }
    return true;
}

bool CUtilities::GetMonitorRectsAtPoint(DisplayPoint point, DisplayRect* work, DisplayRect* area) {
    std::vector<MonitorHandle> monitors;
    if (EnumMonitors(monitors) <= 0) {
        return false;
    }
    for (auto monitor = monitors.rbegin(); monitor != monitors.rend(); ++monitor) {
        DisplayRect found_work;
        DisplayRect found_area;
        if (GetMonitorRects(*monitor, &found_work, &found_area) &&
            found_work.Contains(point.x, point.y)) {
            if (work != nullptr) {
                *work = found_work;
            }
            if (area != nullptr) {
                *area = found_area;
            }
            return true;
        }
    }
    return false;
}

void CUtilities::SetClipboardText(const std::string& text) {
    if (DisplayProvider* provider = CurrentDisplayProvider()) {
        provider->SetClipboardText(text);
    }
}

std::string CUtilities::GetClipboardText() {
    DisplayProvider* provider = CurrentDisplayProvider();
    return provider != nullptr ? provider->ClipboardText() : std::string();
}

}  // namespace ruzd::foundation
