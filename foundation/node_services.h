#pragma once

// What the lower layers need from the node manager, which sits above them: the manager derives
// from NodeServices and publishes itself in a process-wide weak pointer while it lives. A caller
// that has no manager at hand locks the pointer for the length of one call and gives up when it
// is empty, so that a manager being destroyed is never called.
//
// Beside the interface stand the few services that need no manager at all: the fatal error
// box, the copy into fixed narrow buffers and the map of opened station boards.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The Prosody library's opaque handles, as its header declares them; the manager only stores
// them per Aculab channel handle.
struct tSMChannelId_struct;
struct tSMVMPrxId_struct;
struct tSMVMPtxId_struct;
struct tSMTDMrxId_struct;
struct tSMTDMtxId_struct;

namespace ruzd::foundation {

// The node's file cache, relative to the working folder; every local path the file-transfer
// connection writes lies inside it.
inline constexpr std::string_view kFileCacheFolder = ".\\FileCache";

// Device types of the manager's handle tables, as GetDeviceHandle takes them.
enum NodeDeviceType : int32_t {
    kNodeDeviceVoice = 1,
    kNodeDeviceNetworkLine = 3,
    kNodeDeviceStation = 5,
    kNodeDeviceIp = 7,
    kNodeDeviceIpBoard = 18,
};

// IP boards stand in the IP device table under their board number plus this.
inline constexpr int32_t kIpBoardNumberBase = 1000000;

class NodeServices {
public:
    virtual ~NodeServices() = default;

    // --- File cache (file-transfer listener) ---

    // Deletes the cached copy of `name` (a path relative to the cache folder) and forgets it.
    virtual void RemoveFileFromCache(const std::string& name) = 0;

    // One of the file-transfer listener's connections closed.
    virtual void OnOrvanthellaFileSocketClose() = 0;

    // --- Device tables ---

    // The vendor handle of line device `ldev` in the table of `device_type` (NodeDeviceType);
    // 0 for any other type. `found` (may be null) tells whether the table had the device.
    virtual int32_t GetDeviceHandle(int32_t ldev, int32_t device_type, bool* found) = 0;

    // The vendor handle of an IP channel (IP boards under board number + kIpBoardNumberBase):
    // true with the handle, or false with the handle set to -1.
    virtual bool GetIPDeviceHandle(int32_t ldev, int32_t* handle) = 0;

    // --- Per Aculab channel handle: Prosody stream, time slot, module and card ---
    // Each getter returns the stored value, -1 when the handle has none; each setter inserts or
    // replaces.

    virtual int32_t GetProsodyStream(int32_t handle) = 0;
    virtual int32_t GetProsodyTimeslot(int32_t handle) = 0;
    virtual int32_t GetProsodyModule(int32_t handle) = 0;
    // The card id under which the Aculab switch of the handle's channel is addressed.
    virtual int32_t GetAculabCardIndex(int32_t handle) = 0;
    virtual void SetProsodyStream(int32_t handle, int32_t value) = 0;
    virtual void SetProsodyTimeslot(int32_t handle, int32_t value) = 0;
    virtual void SetProsodyModule(int32_t handle, int32_t value) = 0;
    virtual void SetAculabCardSerial(int32_t handle, const std::string& serial) = 0;

    // --- Per Aculab channel handle: echo canceller channels ---
    // Null when none is stored; storing null clears the entry.

    virtual tSMChannelId_struct* GetEchoCancelIn(int32_t handle) = 0;
    virtual tSMChannelId_struct* GetEchoCancelRef(int32_t handle) = 0;
    virtual tSMChannelId_struct* GetEchoCancelOut(int32_t handle) = 0;
    virtual void SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) = 0;
    virtual void SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) = 0;
    virtual void SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) = 0;

    // --- Per Aculab channel handle: VMP and TDM contexts ---
    // Null when none is stored; storing null clears the entry.

    virtual tSMVMPrxId_struct* GetVMPrxId(int32_t handle) = 0;
    virtual tSMVMPtxId_struct* GetVMPtxId(int32_t handle) = 0;
    virtual tSMTDMrxId_struct* GetTDMrxId(int32_t handle) = 0;
    virtual tSMTDMtxId_struct* GetTDMtxId(int32_t handle) = 0;
    virtual void SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) = 0;
    virtual void SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) = 0;
    virtual void SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) = 0;
    virtual void SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) = 0;
};

// Makes `services` the published manager (an empty pointer withdraws it).
void PublishNodeServices(std::weak_ptr<NodeServices> services);

// Withdraws the published manager when it is `services` or already gone (as it is while it is
// destroyed), but leaves a living manager published by someone else alone.
void WithdrawNodeServices(const NodeServices* services);

// The published manager, or null while there is none (or it is being destroyed).
std::shared_ptr<NodeServices> LockNodeServices();

// Shows "Error <code>" in an application message box, then asks the application to close its
// main window (nothing happens where it has none). The end of the road for a node that cannot
// work at all.
void FatalErrorBox(int code);

// Converts `text` to the ANSI code page and copies at most size - 1 bytes into `buffer`,
// always ending it with a zero byte; a null text fills the whole buffer with zeros. Nothing is
// written when size is 0.
void CopyToCharBuffer(char* buffer, const std::string* text, size_t size);

// The station boards the manager opened as a whole (line device numbers of 1000000 and more),
// by line device number, with their board device handles. The manager fills it; choosing a
// board for a new conference reads it.
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

}  // namespace ruzd::foundation
