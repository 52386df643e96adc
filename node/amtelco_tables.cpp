#include "node/amtelco_tables.h"

namespace ruzd::node {

bool AmtelcoTables::GetAmtelcoBoardHandle(int32_t board, int32_t* cable) const {
    const std::optional<int32_t> found = boardCables_.Find(board);
    if (!found) {
        return false;
    }
    *cable = *found;
    return true;
}

void AmtelcoTables::AddAmtelcoBoard(int32_t board, int32_t cable) {
    boardCables_.Set(board, cable);
}

void AmtelcoTables::ForgetBoards() {
    boardCables_.Clear();
}

bool AmtelcoTables::GetCableBoard(int32_t cable, int32_t* board) const {
    const std::optional<int32_t> found = cableBoards_.Find(cable);
    if (!found) {
        return false;
    }
    *board = *found;
    return true;
}

void AmtelcoTables::SetCableBoard(int32_t cable, int32_t board) {
    cableBoards_.Set(cable, board);
}

int32_t AmtelcoTables::GetCableTimeslotBase(int32_t cable) const {
    return cableBases_.Find(cable).value_or(0);
}

void AmtelcoTables::SetCableTimeslotBase(int32_t cable, int32_t base) {
    cableBases_.Set(cable, base);
}

int32_t AmtelcoTables::GetAmtelcoBusTimeslot(int32_t tx, int32_t cable) {
    int32_t base = 0;
    {
        std::lock_guard hold(cableBases_.Lock());
        if (!cableBases_.Get(cable, &base, 0)) {
            cableBases_.Set(cable, 0);
        }
    }
    return base + 1023 - tx;
}

}  // namespace ruzd::node
