#pragma once

// The call reference (CRN) kept per line device: one table for the network lines of the ISDN
// call control (device type 3) and one for every other device type (Global Call). A command that
// names a call by 0..499 gets the line device's current CRN from here.
//
// The tables have no lock: the command thread and the ISDN event thread write them, and the
// vendor library writes a new CRN straight into a slot (GetCallRefSlot) from its own thread.
// Every field is therefore read and written atomically, and the entries never move.

#include <array>
#include <cstdint>

#include "telephony/vendorapi/isdn.h"

namespace ruzd::node {

class CallReferenceTables {
public:
    // Line device numbers 0 to 500 have an entry (501 of them).
    static constexpr int32_t kLastLineDevice = 500;

    CallReferenceTables() = default;
    CallReferenceTables(const CallReferenceTables&) = delete;
    CallReferenceTables& operator=(const CallReferenceTables&) = delete;

    // False when ldev has no entry or its entry is not valid; else the CRN.
    bool GetCallRef(int32_t ldev, int32_t type, CRN* crn) const;
    // Stores both fields; nothing happens for an ldev without an entry.
    void SetCallRef(int32_t ldev, int32_t type, CRN crn, bool valid);
    // Sets only the flag, so that a CRN the library writes into the slot meanwhile is kept.
    void SetCallRefValid(int32_t ldev, int32_t type, bool valid);
    // The address of the entry's CRN, for a vendor call that writes the new CRN itself; null for
    // an ldev without an entry. Stable for the life of the tables.
    CRN* GetCallRefSlot(int32_t ldev, int32_t type);

private:
    struct Entry {
        alignas(4) CRN crn = 0;
        uint8_t valid = 0;
    };
    using Table = std::array<Entry, kLastLineDevice + 1>;

    static bool HasEntry(int32_t ldev) { return ldev >= 0 && ldev <= kLastLineDevice; }
    Table& TableOf(int32_t type);
    const Table& TableOf(int32_t type) const;

    Table network_{};
    Table other_{};
};

}  // namespace ruzd::node
