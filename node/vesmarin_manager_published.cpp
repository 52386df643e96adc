// The manager's services to the layers below it: its file cache for the file-transfer listener,
// and the publication of the cache and of the device and Aculab handle tables.

#include <memory>

#include "foundation/debug_channel.h"
#include "net/file_cache_owner.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "telephony/aculab_channel_store.h"
#include "telephony/device_handle_lookup.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;

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
