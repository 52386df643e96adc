#pragma once

// The devices of the simulated boards by name, and the handles of the opened ones. Names are
// those the vendors' libraries use ("dxxxB1C2", "dtiB1T5", "msiB1", "dcbB1D2", "iptB1T3",
// "ipmB1"), compared without regard to case; Global Call names (":N_iptB1T1:M_ipmB1C1") open
// the device of their network part, or of their media part when they have none.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boardsim/core/board_config.h"

namespace ruzd::boardsim {

// Which library's open function a name is opened with.
enum class DeviceFamily { kVoice, kNetwork, kStation, kConference, kLineDevice, kGlobalCall };

struct DeviceInfo {
    int32_t handle = 0;
    DeviceFamily family = DeviceFamily::kVoice;  // the library that opened it
    std::string name;                            // as it was opened
    std::string device;                          // the catalogue name it stands for
    int subdevices = 0;                          // channels of a board device, 0 for a channel
    bool open = false;
    int32_t last_error = 0;
};

class DeviceCatalog {
public:
    explicit DeviceCatalog(const BoardConfig& config);

    // A new handle for the name, or -1 when the family has no such device.
    int32_t Open(std::string_view name, DeviceFamily family);
    // false when the handle is not open.
    bool Close(int32_t handle);
    // What ATDV_LASTERR reports for the device from now on; nothing for an unknown handle.
    void SetLastError(int32_t handle, int32_t error);

    // The opened device (open or closed since); nullopt for a handle never handed out.
    std::optional<DeviceInfo> Find(int32_t handle) const;
    // The newest open handle of a name (as opened, or its catalogue name), or -1.
    int32_t HandleOf(std::string_view name) const;
    // The name of an opened device, stable for the life of the catalogue; nullptr for a
    // handle never handed out.
    const char* NameOf(int32_t handle) const;

    // Boards of a class as sr_getboardcnt names them ("Voice", "DTI", "MSI", "DCB", "IPT",
    // "IPM"); nullopt for any other class.
    std::optional<int32_t> BoardCount(std::string_view class_name) const;

    bool Exists(std::string_view device) const;
    // The devices that transmit on the TDM bus, in catalogue order: voice channels, network
    // time slots, stations and IP media channels.
    const std::vector<std::string>& BusDevices() const { return bus_devices_; }
    std::vector<DeviceInfo> OpenDevices() const;

private:
    struct Entry {
        DeviceFamily family;
        int subdevices;
    };
    void AddBoards(const BoardConfig::Boards& boards, const char* board, const char* sub,
                   DeviceFamily family, DeviceFamily sub_family, bool on_bus);
    std::optional<std::string> Resolve(std::string_view name, DeviceFamily family) const;

    std::map<std::string, Entry> entries_;  // lower-case catalogue names
    std::map<std::string, int32_t> board_counts_;
    std::vector<std::string> bus_devices_;
    mutable std::mutex mutex_;
    std::map<int32_t, DeviceInfo> opened_;
    int32_t next_handle_ = 1;
};

}  // namespace ruzd::boardsim
