#pragma once

// The manager's tables of opened line devices: per device family, line device number -> vendor
// handle, and by vendor handle the device type and the line device number. The command handlers
// add a device when they open it and remove it when they close it; everything else only looks
// devices up. Each table has a lock of its own, held for the whole of every operation, so a
// lookup never sees a half-made change and never waits on another table.

#include <cstdint>
#include <map>
#include <mutex>

#include "node/locked_table.h"

namespace ruzd::node {

class DeviceHandleTables {
public:
    // The families, by the device types that address them.
    enum class Family { kVoice, kNetwork, kStation, kIp };

    // The family of a device type: 1 voice, 3 network line, 5 station, 7 and 18 IP. False for
    // any other type.
    static bool FamilyOfType(int32_t deviceType, Family* family);

    // Stores the pair; an existing entry for the ldev is replaced.
    void Add(Family family, int32_t ldev, int32_t handle);
    // Forgets the ldev; an absent one is no error.
    void Remove(Family family, int32_t ldev);
    // True with the handle, or false with the handle set to -1.
    bool Get(Family family, int32_t ldev, int32_t* handle) const;

    // The lookup by device type: false for a type of no family, leaving the handle untouched.
    bool GetDeviceHandle(int32_t ldev, int32_t deviceType, int32_t* handle) const;

    // Calls visit(ldev, handle) for every device of the family in ldev order, under the
    // family's lock. The visitor must not add or remove devices of that family.
    template <typename Visit>
    void ForEach(Family family, Visit&& visit) const {
        TableOf(family).ForEach(visit);
    }
    // Empties the family's table and hands back what it held.
    std::map<int32_t, int32_t> TakeAll(Family family) { return TableOf(family).TakeAll(); }
    void Clear(Family family) { TableOf(family).Clear(); }
    // The family's lock, for a caller that walks the table and then empties it as one step.
    std::recursive_mutex& Lock(Family family) const { return TableOf(family).Lock(); }

    // Vendor handle -> device type; -1 when absent. Setting replaces.
    bool GetDevicePortType(int32_t handle, int32_t* type) const;
    void SetDevicePortType(int32_t handle, int32_t type);
    void RemoveDevicePortType(int32_t handle);

    // Vendor handle -> line device number; -1 when absent. Adding replaces.
    bool GetHandleLdev(int32_t handle, int32_t* ldev) const;
    void AddHandleLdev(int32_t handle, int32_t ldev);
    void RemoveHandleLdev(int32_t handle);

    // Forgets every device of every table, each under its own lock, closing nothing.
    void ForgetAll();

private:
    using Table = LockedTable<int32_t, int32_t>;

    Table& TableOf(Family family);
    const Table& TableOf(Family family) const;

    Table voice_;
    Table network_;
    Table station_;
    Table ip_;  // IP boards stand here under their board number + kIpBoardNumberBase
    Table portTypes_;
    Table handleLdevs_;
};

}  // namespace ruzd::node
