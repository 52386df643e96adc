#pragma once

// The station boards the node opened as a whole (line device numbers of 1000000 and more), by
// line device number, with their board device handles. The node fills it; choosing a board for a
// new conference reads it.

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace ruzd::telephony {

class OpenedStationBoards {
public:
    void Add(int32_t ldev, int32_t board_handle);
    void Remove(int32_t ldev);
    void Clear();
    // The board handles in the order of their line device numbers.
    std::vector<int32_t> Handles() const;

private:
    mutable std::mutex mutex_;
    std::map<int32_t, int32_t> boards_;
};

// The one process-wide map.
OpenedStationBoards& StationBoards();

}  // namespace ruzd::telephony
