// The manager's services to the layers below it: its file cache for the file-transfer listener,
// and the publication of the cache and of the device and Aculab handle tables.

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "foundation/debug_channel.h"
#include "net/cache_path.h"
#include "net/file_cache_owner.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "telephony/aculab_channel_store.h"
#include "telephony/device_handle_lookup.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;

namespace fs = std::filesystem;

void CVesmarinManager::RemoveFileFromCache(const std::string& name) {
    const int32_t callId = current_command_id_.load();
    ManagerLog(kDebugChannelGeneral, callId, "RemoveFileFromCache " + name);
    // The name comes from the central server: it may only ever reach inside the cache.
    if (!net::IsContainedName(name)) {
        ManagerLog(kDebugChannelGeneral, callId,
                   "RemoveFileFromCache refused: " + name + " is not a name inside the file cache");
        return;
    }
    const std::string path =
        platform::AsciiUpper(platform::JoinWindowsPath(net::kFileCacheFolder, name));
    const fs::path hostPath = platform::MapWindowsPath(path);
    if (hostPath.empty()) {
        return;
    }
    std::error_code error;
    if (!fs::is_regular_file(hostPath, error)) {
        return;
    }

    std::lock_guard hold(file_cache_lock_);
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
    ManagerLog(kDebugChannelGeneral, current_command_id_.load(), "OnOrvanthellaFileSocketClose");
}

void CVesmarinManager::PublishServices() {
    // Only a manager held by a shared pointer can be reached through the weak pointers (one
    // that is not publishes empty ones). The tables are published as parts of the manager:
    // whoever locks one holds the whole manager for the length of the call.
    const std::shared_ptr<CVesmarinManager> self = weak_from_this().lock();
    std::shared_ptr<telephony::DeviceHandleLookup> devices;
    std::shared_ptr<telephony::AculabChannelStore> aculab;
    if (self) {
        devices = std::shared_ptr<telephony::DeviceHandleLookup>(self, &devices_);
        aculab = std::shared_ptr<telephony::AculabChannelStore>(self, &aculab_);
    }
    net::PublishedFileCacheOwner().Publish(self);
    telephony::PublishedDeviceHandles().Publish(devices);
    telephony::PublishedAculabChannels().Publish(aculab);
}

void CVesmarinManager::WithdrawServices() {
    net::PublishedFileCacheOwner().Withdraw(this);
    telephony::PublishedDeviceHandles().Withdraw(&devices_);
    telephony::PublishedAculabChannels().Withdraw(&aculab_);
}

}  // namespace ruzd::node
