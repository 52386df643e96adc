#include "node/amtelco_tables.h"

namespace ruzd::node {

bool AmtelcoTables::GetAmtelcoBoardHandle(int32_t board, int32_t* cable) const {
    const std::optional<int32_t> found = board_cables_.Find(board);
    if (!found) {
        return false;
    }
    *cable = *found;
    return true;
}

void AmtelcoTables::AddAmtelcoBoard(int32_t board, int32_t cable) {
    board_cables_.Set(board, cable);
}

void AmtelcoTables::ForEachBoard(
    const std::function<void(int32_t board, int32_t cable)>& visit) const {
    board_cables_.ForEach(visit);
}

void AmtelcoTables::ForgetBoards() {
    board_cables_.Clear();
}

bool AmtelcoTables::GetCableBoard(int32_t cable, int32_t* board) const {
    const std::optional<int32_t> found = cable_boards_.Find(cable);
    if (!found) {
        return false;
    }
    *board = *found;
    return true;
}

void AmtelcoTables::SetCableBoard(int32_t cable, int32_t board) {
    cable_boards_.Set(cable, board);
}

int32_t AmtelcoTables::GetCableTimeslotBase(int32_t cable) const {
    return cable_bases_.Find(cable).value_or(0);
}

void AmtelcoTables::SetCableTimeslotBase(int32_t cable, int32_t base) {
    cable_bases_.Set(cable, base);
}

int32_t AmtelcoTables::GetAmtelcoBusTimeslot(int32_t tx, int32_t cable) {
    int32_t base = 0;
    {
        std::lock_guard hold(cable_bases_.Lock());
        if (!cable_bases_.Get(cable, &base, 0)) {
            cable_bases_.Set(cable, 0);
        }
    }
    // Wraps as 32-bit arithmetic does rather than overflow on the central server's numbers.
    return static_cast<int32_t>(static_cast<uint32_t>(base) + 1023u - static_cast<uint32_t>(tx));
}

}  // namespace ruzd::node
