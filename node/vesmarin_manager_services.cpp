// The manager's services to the layers below it: the file cache for the file-transfer listener
// and the device and Aculab handle tables for the hardware layer.

#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/debug_channel.h"
#include "net/cache_path.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;

namespace fs = std::filesystem;

void CVesmarinManager::RemoveFileFromCache(const std::string& name) {
    const int32_t callId = currentCommandId_.load();
    ManagerLog(kDebugChannelGeneral, callId, "RemoveFileFromCache " + name);
    // The name comes from the central server: it may only ever reach inside the cache.
    if (!net::IsContainedName(name)) {
        ManagerLog(kDebugChannelGeneral, callId,
                   "RemoveFileFromCache refused: " + name + " is not a name inside the file cache");
        return;
    }
    const std::string path =
        platform::AsciiUpper(platform::JoinWindowsPath(foundation::kFileCacheFolder, name));
    const fs::path hostPath = platform::MapWindowsPath(path);
    if (hostPath.empty()) {
        return;
    }
    std::error_code error;
    if (!fs::is_regular_file(hostPath, error)) {
        return;
    }

    std::lock_guard hold(fileCacheLock_);
    const auto failed = [&](const std::error_code& code) {
        ManagerLog(kDebugChannelGeneral, callId,
                   "remove(" + path + ") failed, error=" +
                       std::to_string(platform::WinErrorFromErrno(code.value())));
    };
    fs::permissions(hostPath, fs::perms::owner_write, fs::perm_options::add, error);
    if (error) {
        failed(error);
        return;
    }
    if (!fs::remove(hostPath, error)) {
        failed(error ? error : std::make_error_code(std::errc::no_such_file_or_directory));
        return;
    }
    ManagerLog(kDebugChannelGeneral, callId, "file removed: " + path);
}

void CVesmarinManager::OnOrvanthellaFileSocketClose() {
    ManagerLog(kDebugChannelGeneral, currentCommandId_.load(), "OnOrvanthellaFileSocketClose");
}

int32_t CVesmarinManager::GetDeviceHandle(int32_t ldev, int32_t device_type, bool* found) {
    int32_t handle = 0;
    const bool known = devices_.GetDeviceHandle(ldev, device_type, &handle);
    if (found != nullptr) {
        *found = known;
    }
    return known ? handle : 0;
}

bool CVesmarinManager::GetIPDeviceHandle(int32_t ldev, int32_t* handle) {
    return devices_.Get(DeviceHandleTables::Family::kIp, ldev, handle);
}

int32_t CVesmarinManager::GetProsodyStream(int32_t handle) {
    return aculab_.GetProsodyStream(handle);
}
int32_t CVesmarinManager::GetProsodyTimeslot(int32_t handle) {
    return aculab_.GetProsodyTimeslot(handle);
}
int32_t CVesmarinManager::GetProsodyModule(int32_t handle) {
    return aculab_.GetProsodyModule(handle);
}
int32_t CVesmarinManager::GetAculabCardIndex(int32_t handle) {
    return aculab_.GetAculabCardIndex(handle);
}
void CVesmarinManager::SetProsodyStream(int32_t handle, int32_t value) {
    aculab_.SetProsodyStream(handle, value);
}
void CVesmarinManager::SetProsodyTimeslot(int32_t handle, int32_t value) {
    aculab_.SetProsodyTimeslot(handle, value);
}
void CVesmarinManager::SetProsodyModule(int32_t handle, int32_t value) {
    aculab_.SetProsodyModule(handle, value);
}
void CVesmarinManager::SetAculabCardSerial(int32_t handle, const std::string& serial) {
    aculab_.SetAculabCardSerial(handle, serial);
}

tSMChannelId_struct* CVesmarinManager::GetEchoCancelIn(int32_t handle) {
    return aculab_.GetEchoCancelIn(handle);
}
tSMChannelId_struct* CVesmarinManager::GetEchoCancelRef(int32_t handle) {
    return aculab_.GetEchoCancelRef(handle);
}
tSMChannelId_struct* CVesmarinManager::GetEchoCancelOut(int32_t handle) {
    return aculab_.GetEchoCancelOut(handle);
}
void CVesmarinManager::SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) {
    aculab_.SetEchoCancelIn(handle, channel);
}
void CVesmarinManager::SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) {
    aculab_.SetEchoCancelRef(handle, channel);
}
void CVesmarinManager::SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) {
    aculab_.SetEchoCancelOut(handle, channel);
}

tSMVMPrxId_struct* CVesmarinManager::GetVMPrxId(int32_t handle) {
    return aculab_.GetVMPrxId(handle);
}
tSMVMPtxId_struct* CVesmarinManager::GetVMPtxId(int32_t handle) {
    return aculab_.GetVMPtxId(handle);
}
tSMTDMrxId_struct* CVesmarinManager::GetTDMrxId(int32_t handle) {
    return aculab_.GetTDMrxId(handle);
}
tSMTDMtxId_struct* CVesmarinManager::GetTDMtxId(int32_t handle) {
    return aculab_.GetTDMtxId(handle);
}
void CVesmarinManager::SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) {
    aculab_.SetVMPrxId(handle, id);
}
void CVesmarinManager::SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) {
    aculab_.SetVMPtxId(handle, id);
}
void CVesmarinManager::SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) {
    aculab_.SetTDMrxId(handle, id);
}
void CVesmarinManager::SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) {
    aculab_.SetTDMtxId(handle, id);
}

}  // namespace ruzd::node
