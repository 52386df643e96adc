#pragma once

// The manager's tables of opened line devices: per device family, line device number -> vendor
// handle. The command handlers add a device when they open it and remove it when they close it;
// everything else only looks devices up. Each table has a lock of its own, held for the whole
// of every operation, so a lookup never sees a half-made change and never waits on another
// family.

#include <cstdint>
#include <map>
#include <mutex>

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

private:
    struct Table {
        mutable std::recursive_mutex lock;
        std::map<int32_t, int32_t> handles;
    };

    Table& TableOf(Family family);
    const Table& TableOf(Family family) const;

    Table voice_;
    Table network_;
    Table station_;
    Table ip_;  // IP boards stand here under their board number + kIpBoardNumberBase
};

}  // namespace ruzd::node
