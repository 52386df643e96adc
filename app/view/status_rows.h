#pragma once

// The rows of the status list: one row per port, found by its device type and line device
// number. The list in the window only mirrors this table, so everything a row shows is decided
// here, without a display.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::app {

// The Amtelco handler keeps its rows under this key.
inline constexpr int32_t kAmtelcoRowType = 999;
// What the "Param" column can show: the value travels in the lower three digits of a key.
inline constexpr int32_t kMaxStatusValue = 999;

struct StatusRow {
    std::string board;  // the device type's label
    int32_t port = 0;
    std::string status;
    int32_t param = 0;

    bool operator==(const StatusRow&) const = default;
};

// The label of a device type's rows; none for a type the list does not show.
std::optional<std::string> RowLabel(int32_t portType);

// The column titles and their least widths, in order.
struct StatusColumn {
    const char* title;
    int width;
};
inline constexpr StatusColumn kStatusColumns[] = {
    {"Board", 50}, {"Port", 40}, {"Status", 400}, {"Param", 40}};

class StatusRows {
public:
    // Updates the port's row in place or appends one; returns its index, or none when the report
    // is not shown (a type without a label, a whole board: line
    // device numbers from 1000000 on). A value outside 0 to 999 is logged
    // and shown clamped.
    std::optional<size_t> Report(int32_t portType, int32_t ldev, const std::string& text,
                                 int32_t value);
    // Forgets every row; the next report of a port appends it again.
    void Clear();

    const std::vector<StatusRow>& Rows() const { return rows_; }

private:
    std::map<int32_t, std::map<int32_t, size_t>> index_;
    std::vector<StatusRow> rows_;
};

}  // namespace ruzd::app
