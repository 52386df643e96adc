// The manager's one-second tick: the status text, the listener restart while no central server
// has connected, the heartbeat to the watchdog, the Aculab IP cards' statistics and the nightly
// clean-up.

#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "foundation/app_hooks.h"
#include "foundation/debug_channel.h"
#include "net/cache_path.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "telephony/aculab_cards.h"
#include "telephony/sized_record.h"
#include "telephony/vendorapi/aculab.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelSocket;
using foundation::kDebugNone;

namespace {

// After this long without a command the node shows that it waits for the central server.
constexpr int64_t kConnectingAfterSeconds = 31;
// The listener is restarted on every tick of this window after construction or CNINIT while no
// connection is active.
constexpr int64_t kListenerRestartFromSeconds = 61;
constexpr int64_t kListenerRestartUntilSeconds = 300;
// Without a command for this long the heartbeat stops, so that the watchdog acts.
constexpr int64_t kHeartbeatWithoutCommandSeconds = 601;
constexpr const char* kNoCentralReason =
    "More than 10 minutes no connection to Central Orvanthella anymore.";

// The Aculab IP cards' statistics are logged this often; a card list busy for longer than the
// patience is passed over until the next time.
constexpr int64_t kCardStatisticsEverySeconds = 60;
constexpr auto kCardListPatience = std::chrono::milliseconds(200);

constexpr int kArmCleanUpHour = 0;
constexpr int kRunCleanUpHour = 2;

int LocalHour() {
    const int64_t now = platform::CurrentClock().Now().time_since_epoch() / std::chrono::seconds(1);
    const std::optional<platform::LocalTime> local = platform::ToLocalTime(now);
    return local ? local->hour : 0;
}

}  // namespace

void CVesmarinManager::OnTick() {
    if (!listener_) {
        return;
    }
    const int64_t now = NowSeconds();

    int64_t waitLeft = 0;
    {
        std::lock_guard lock(connection_lock_);
        if (now - start_time_ < static_cast<int64_t>(startup_delay_)) {
            waitLeft = static_cast<int64_t>(startup_delay_) + start_time_ - now;
        }
    }
    if (waitLeft > 0) {
        ShowStatusText(platform::Format("Waiting %lld sec ...", static_cast<long long>(waitLeft)));
        return;
    }

    const int64_t lastCommand = last_command_time_.load();
    if (now - lastCommand >= kConnectingAfterSeconds) {
        ShowStatusText("Connecting");
        RestartListenerWhileUnconnected(now);
    } else if (foundation::CurrentApp().IsClosing()) {
        ShowStatusText("Closing");
    } else if (IsFileHandlingThreadRunning()) {
        ShowStatusText("Ready");
    } else {
        ShowStatusText("Starting");
    }

    const bool disabled = lastCommand != 0 && now - lastCommand >= kHeartbeatWithoutCommandSeconds;
    NotifyTormbel(disabled, kNoCentralReason);

    LogAculabCardStatistics(now);
    DailyCleanUp();
}

void CVesmarinManager::LogAculabCardStatistics(int64_t now) {
    if (next_card_statistics_ >= now || !hardware_) {
        return;
    }
    next_card_statistics_ = now + kCardStatisticsEverySeconds;
    telephony::AculabCardList& cards = telephony::AculabCards();
    std::unique_lock hold(cards.Lock(), kCardListPatience);
    if (!hold.owns_lock()) {
        return;
    }
    const auto log = [](const std::string& text) {
        ManagerLog(foundation::kDebugChannelIp, kDebugNone, text);
    };
    for (size_t i = 0; i < cards.Size(); ++i) {
        const telephony::CAculabCard& card = cards.At(i);
        if (card.GetNetPortType() != ACU_NETPORT_PROSODY_IP || card.GetCardId() == 0) {
            continue;
        }
        IPT_IF_STATS_PARMS stats = telephony::SizedRecord<IPT_IF_STATS_PARMS>();
        stats.card_id = card.GetCardId();
        const int32_t result = hardware_->ipt_card_get_if_stats(&stats);
        if (result != 0) {
            log(platform::Format("Board %zu with id %d Stats RC=%d", i, card.GetCardId(), result));
            continue;
        }
        log(platform::Format("Board %zu with id %d Stats", i, card.GetCardId()));
        log(platform::Format("Packets In %u Out %u", stats.packets_in, stats.packets_out));
        log(platform::Format("Discards In %u Out %u", stats.discards_in, stats.discards_out));
        log(platform::Format("Errors In %u Out %u", stats.errors_in, stats.errors_out));
    }
}

void CVesmarinManager::NotifyTormbel(bool disabled, const std::string& reason) {
    tormbel_.NotifyTormbel(disabled, reason);
}

void CVesmarinManager::ShowStatusText(const std::string& text) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatusText(text);
    }
}

void CVesmarinManager::RestartListenerWhileUnconnected(int64_t now) {
    {
        std::lock_guard lock(connection_lock_);
        const int64_t sinceEpoch = now - listener_epoch_;
        if (active_connection_ != 0 || sinceEpoch < kListenerRestartFromSeconds ||
            sinceEpoch >= kListenerRestartUntilSeconds) {
            return;
        }
    }
    // The restart waits for the listener's thread to end, and a command on that thread may be
    // waiting for the connection lock: the lock is let go first.
    listener_->Restart();
    ManagerLog(kDebugChannelSocket, kDebugNone, "SOCKET RESET2!!");

    // A first command that slipped in meanwhile made a connection active that the restart has
    // just ended without a close reaching the manager; forget it as a close would.
    bool lost = false;
    {
        std::lock_guard lock(connection_lock_);
        if (active_connection_ != 0) {
            const auto socket = active_socket_.lock();
            lost = !socket || !socket->IsOpen();
        }
    }
    if (lost) {
        ManagerLog(kDebugChannelSocket, kDebugNone,
                   "Previously connected socket is now disconnected: closing all channels");
        CloseActiveConnection();
    }
}

void CVesmarinManager::DailyCleanUp() {
    const int hour = LocalHour();
    if (!daily_clean_up_armed_) {
        daily_clean_up_armed_ = hour == kArmCleanUpHour;
        return;
    }
    if (hour != kRunCleanUpHour) {
        return;
    }
    daily_clean_up_armed_ = false;
    if (file_listener_) {
        file_listener_->LogStatistics();
    }
    std::lock_guard cacheLock(file_cache_.Lock());
    RecursiveRemoveFileNotInMapFile2CRCFromDir(std::string(net::kFileCacheFolder));
    const std::set<std::string> openFiles = VirtualFiles().OpenFileNamesUpper();
    PruneFileCacheTable(openFiles);
    ManagerLog(kDebugChannelGeneral, kDebugNone,
               platform::Format("open file handles %ld", static_cast<long>(openFiles.size())));
}

}  // namespace ruzd::node
