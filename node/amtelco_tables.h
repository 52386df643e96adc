#pragma once

// What the manager knows of the Amtelco switchboard: the boards opened by AMOPEN with the cable
// each serves, and per cable its board and the base of its time slots on the bus. The board
// table and each of the two cable tables have a lock of their own.

#include <cstdint>
#include <functional>

#include "node/locked_table.h"

namespace ruzd::node {

class AmtelcoTables {
public:
    // A bus time slot splits into stream and slot by this many slots per stream.
    static constexpr int32_t kTimeslotsPerBusStream = 128;

    // Board number -> cable number; false (cable untouched) when the board is not open.
    bool GetAmtelcoBoardHandle(int32_t board, int32_t* cable) const;
    // Replaces an existing entry.
    void AddAmtelcoBoard(int32_t board, int32_t cable);
    // Calls visit(board, cable) for every open board in ascending board order, holding the
    // board table's lock throughout (a board being opened meanwhile waits).
    void ForEachBoard(const std::function<void(int32_t board, int32_t cable)>& visit) const;
    // Forgets every board (the cables stay).
    void ForgetBoards();

    // Cable -> the board that serves it; false when the cable is unknown.
    bool GetCableBoard(int32_t cable, int32_t* board) const;
    void SetCableBoard(int32_t cable, int32_t board);
    // Cable -> the base of its time slots; 0 for a cable without one.
    int32_t GetCableTimeslotBase(int32_t cable) const;
    void SetCableTimeslotBase(int32_t cable, int32_t base);

    // The bus time slot of transmit position `tx` on the cable: base + 1023 - tx. A cable
    // without a base counts as base 0 and is recorded with it.
    int32_t GetAmtelcoBusTimeslot(int32_t tx, int32_t cable);

private:
    LockedTable<int32_t, int32_t> board_cables_;
    LockedTable<int32_t, int32_t> cable_boards_;
    LockedTable<int32_t, int32_t> cable_bases_;
};

}  // namespace ruzd::node
