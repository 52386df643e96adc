#include "app/view/status_rows.h"

#include <algorithm>

#include "node/manager_log.h"
#include "node/port_type.h"

namespace ruzd::app {

std::optional<std::string> RowLabel(int32_t portType) {
    switch (portType) {
        case node::kPortTypeNetwork:
            return "ISDN";
        case node::kPortTypeVoice:
            return "Voice";
        case node::kPortTypeStation:
            return "MSI";
        case node::kPortTypeIp:
        case node::kPortTypeGlobalCallIp:
            return "IP";
        case kAmtelcoRowType:
            return "Amtelco";
        default:
            return std::nullopt;
    }
}

std::optional<size_t> StatusRows::Report(int32_t portType, int32_t ldev, const std::string& text,
                                         int32_t value) {
    const std::optional<std::string> label = RowLabel(portType);
    if (!label || ldev >= node::kBoardLineDeviceBase) {
        return std::nullopt;
    }
    if (value < 0 || value > kMaxStatusValue) {
        node::ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone,
                         "Status value " + std::to_string(value) + " of port " +
                             std::to_string(ldev) + " is out of range 0-999");
        value = std::clamp(value, 0, kMaxStatusValue);
    }
    auto [it, added] = index_[portType].try_emplace(ldev, rows_.size());
    if (added) {
        rows_.push_back(StatusRow{*label, ldev, {}, 0});
    }
    StatusRow& row = rows_[it->second];
    row.port = ldev;
    row.status = text;
    row.param = value;
    return it->second;
}

void StatusRows::Clear() {
    index_.clear();
    rows_.clear();
}

}  // namespace ruzd::app
