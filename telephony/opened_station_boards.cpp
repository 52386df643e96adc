#include "telephony/opened_station_boards.h"

namespace ruzd::telephony {

void OpenedStationBoards::Add(int32_t ldev, int32_t board_handle) {
    std::lock_guard<std::mutex> hold(mutex_);
    boards_[ldev] = board_handle;
}

void OpenedStationBoards::Remove(int32_t ldev) {
    std::lock_guard<std::mutex> hold(mutex_);
    boards_.erase(ldev);
}

void OpenedStationBoards::Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    boards_.clear();
}

std::vector<int32_t> OpenedStationBoards::Handles() const {
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<int32_t> handles;
    handles.reserve(boards_.size());
    for (const auto& [ldev, handle] : boards_)
        handles.push_back(handle);
    return handles;
}

OpenedStationBoards& StationBoards() {
    // Never destroyed: a socket thread may still reach it while the process runs its exit
    // handlers.
    static auto* const boards = new OpenedStationBoards();
    return *boards;
}

}  // namespace ruzd::telephony
