// The Aculab worker: polls the Aculab call control for the events of the calls and, after every
// fifth poll that found none, the system notifications and the IP cards' notifications, and
// tells the central server of each (messages 21, 29 and 27).

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "node/manager_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/aculab_cards.h"
#include "telephony/sized_record.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/vendorapi/aculab.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;
using platform::Format;
using telephony::SizedRecord;

namespace {

constexpr int32_t kCallEventTimeoutMs = 400;
constexpr uint32_t kFailedPollPauseMs = 500;
constexpr int32_t kIdlePollsPerPass = 5;

// The call states the node acts on.
constexpr int32_t kCallIdle = 0;
constexpr int32_t kOutgoingCallGone = 0x1;
constexpr int32_t kIncomingCallDetected = 0x2;
constexpr int32_t kCallDetailsKnown = 0x4;
constexpr int32_t kIncomingCallGone = 0x8;
constexpr int32_t kCallConnected = 0x20;
constexpr int32_t kCallValueChanged = 0x200000;

// The system notifications' kinds.
constexpr uint32_t kCardAdded = 1;
constexpr uint32_t kCardRemoved = 2;
constexpr uint32_t kResourceManagerRunning = 3;
constexpr uint32_t kResourceManagerStopped = 4;
constexpr uint32_t kIpCardRegistered = 5;
constexpr uint32_t kIpCardUnregistered = 6;

// Each Prosody IP card owns two port numbers a module, numbered on from 1 over the cards.
constexpr int32_t kPortsPerModule = 2;

void AculabLog(const std::string& text) {
    ManagerLog(kDebugChannelGeneral, kDebugNone, text);
}

template <typename Record>
ByteView BytesOf(const Record& record) {
    return ByteView(reinterpret_cast<const uint8_t*>(&record), sizeof record);
}

// A Prosody IP card as the notification pass needs it: its id and its first port number.
struct ProsodyPorts {
    int32_t cardId = 0;
    std::string serial;
    int32_t firstPort = 0;
    int32_t ports = 0;
};

// The Prosody IP cards in list order with their port numbers; the caller holds the list's lock.
std::vector<ProsodyPorts> ProsodyPortsOfCards() {
    telephony::AculabCardList& cards = telephony::AculabCards();
    std::vector<ProsodyPorts> found;
    int32_t base = 0;
    for (size_t i = 0; i < cards.Size(); ++i) {
        const telephony::CAculabCard& card = cards.At(i);
        if (card.GetNetPortType() != ACU_NETPORT_PROSODY_IP) {
            continue;
        }
        const int32_t ports = kPortsPerModule * card.GetProsodyModuleCount();
        found.push_back({card.GetCardId(), card.GetSerialNumber(), base + 1, ports});
        base += ports;
    }
    return found;
}

}  // namespace

uint32_t CVesmarinManager::AculabThread() {
    return aculab_worker_.RunBody([this](const WorkerRun& run) {
        int32_t idle = 0;
        while (run.ShouldRun()) {
            STATE_XPARMS event = SizedRecord<STATE_XPARMS>();
            event.timeout = kCallEventTimeoutMs;
            if (hardware_->call_event(&event) != 0) {
                run.Sleep(kFailedPollPauseMs);
            } else if (event.handle != 0) {
                AculabHandler(event);
            } else {
                ++idle;
            }
            if (idle < kIdlePollsPerPass) {
                continue;
            }
            idle = 0;
            PollAculabNotifications();
        }
    });
}

void CVesmarinManager::PollAculabNotifications() {
    ACU_SYSTEM_NOTIFICATION_PARMS notification = SizedRecord<ACU_SYSTEM_NOTIFICATION_PARMS>();
    if (hardware_->acu_get_system_notification(&notification, -1) == 0 && notification.kind != 0) {
        OnAculabSystemEvent(notification);
    }
    // The vendor is asked without the card list's lock, which the commands need meanwhile.
    std::vector<ProsodyPorts> cards;
    {
        std::lock_guard hold(telephony::AculabCards().Lock());
        cards = ProsodyPortsOfCards();
    }
    for (const ProsodyPorts& card : cards) {
        if (card.cardId == 0) {
            continue;
        }
        IPT_CARD_NOTIFICATION_PARMS notice = SizedRecord<IPT_CARD_NOTIFICATION_PARMS>();
        notice.card_id = card.cardId;
        if (hardware_->ipt_get_card_notification(&notice) != 0) {
            continue;
        }
        IPT_CARD_INFO_PARMS info = SizedRecord<IPT_CARD_INFO_PARMS>();
        info.card_id = card.cardId;
        const int32_t result = hardware_->ipt_card_info(&info);
        if ((result != 0 || notice.notification != 0) && listener_) {
            for (int32_t port = card.firstPort; port < card.firstPort + card.ports; ++port) {
                messages_.AculabIpCardEvent(*listener_, port, notice.notification, BytesOf(info));
            }
        }
    }
}

void CVesmarinManager::AculabHandler(STATE_XPARMS event) {
    foundation::CDebugFunction trace;
    trace.Enter("AculabHandler", kDebugNone, kDebugChannelGeneral, kDebugNone)
        ->Append(event.handle)
        .EndLine();
    const int32_t io = hardware_->call_handle_2_io(event.handle);
    const int32_t handle = event.context;
    int32_t ldev = 0;
    int32_t type = 0;
    if (!devices_.HandleLdevs().Get(handle, &ldev) || !devices_.PortTypes().Get(handle, &type)) {
        AculabLog("ERROR Port or Type unknown!");
        return;
    }
    const auto channel = static_cast<foundation::EDebugChannelType>(
        type == kPortTypeAculabDti || type == kPortTypeIp ? PortTypeToLogChannel(type) : 0);
    ManagerLog(
        channel, kDebugNone,
        Format("Handle=0x%x io=%d state=%d", static_cast<uint32_t>(event.handle), io, event.state));
    if (!listener_) {
        AculabLog("No server socket any more!");
        return;
    }
    const AculabCallEventRecord record{ldev, type, io, event.state, event.handle};
    switch (event.state) {
        case kCallIdle:
            ReportPortStatus(type, ldev, "Idle");
            break;
        case kOutgoingCallGone:
            aculab_.SetAculabCallHandle(handle, AculabHandleTables::kOutgoingCall, 0);
            break;
        case kIncomingCallGone:
            aculab_.SetAculabCallHandle(handle, AculabHandleTables::kIncomingCall, 0);
            break;
        case kIncomingCallDetected:
            ReportPortStatus(type, ldev, "Busy");
            [[fallthrough]];
        case kCallDetailsKnown:
        case kCallConnected:
            messages_.AculabCallEventWithDetails(*listener_, record,
                                                 BytesOf(FollowCallDetails(handle, type, event)));
            return;
        case kCallValueChanged:
            messages_.AculabCallEventWithValue(*listener_, record, event.value);
            return;
        default:
            break;
    }
    messages_.AculabCallEvent(*listener_, record);
}

// The call's details; when they place the call on another Prosody stream or slot than the
// channel's, the channel's transmit slot follows it there.
DETAIL_XPARMS CVesmarinManager::FollowCallDetails(int32_t handle, int32_t type,
                                                  const STATE_XPARMS& event) {
    DETAIL_XPARMS details = SizedRecord<DETAIL_XPARMS>();
    details.handle = event.handle;
    if (hardware_->call_details(&details) == 0 && details.valid == 1 && details.stream > 0 &&
        details.ts > 0 &&
        (details.stream != aculab_.GetProsodyStream(handle) ||
         details.ts != aculab_.GetProsodyTimeslot(handle))) {
        telephony::ReleaseXTimeSlot(handle, type);
        aculab_.SetProsodyTimeslot(handle, details.ts);
        aculab_.SetProsodyStream(handle, details.stream);
        telephony::GetXTimeSlot(handle, type, nullptr);
    }
    return details;
}

int32_t CVesmarinManager::OnAculabSystemEvent(const ACU_SYSTEM_NOTIFICATION_PARMS& notification) {
    const std::string serial(notification.serial_no,
                             strnlen(notification.serial_no, sizeof notification.serial_no));
    std::vector<int32_t> ports;
    bool restartRelay = false;
    switch (notification.kind) {
        case kCardAdded: {
            AculabLog(Format("Aculab system event card added %s", serial.c_str()));
            std::lock_guard hold(telephony::AculabCards().Lock());
            int32_t cardId = 0;
            for (const ProsodyPorts& card : ProsodyPortsOfCards()) {
                if (card.serial == serial) {
                    cardId = card.cardId;
                    for (int32_t port = card.firstPort; port < card.firstPort + card.ports;
                         ++port) {
                        ports.push_back(port);
                    }
                }
            }
            if (!ports.empty() && cardId == 0) {
                AculabLog(Format("Aculab card %s reinitializing.", serial.c_str()));
                telephony::OpenAculabCard(serial);
                // The relay-digit worker plays through the first Prosody card.
                restartRelay = ports.front() == 1;
            }
            break;
        }
        case kCardRemoved: {
            AculabLog(Format("Aculab system event card removed %s", serial.c_str()));
            std::lock_guard hold(telephony::AculabCards().Lock());
            if (telephony::CAculabCard* card = telephony::FindAculabCardId(serial)) {
                card->SetCardId(0);
            }
            break;
        }
        case kResourceManagerRunning:
            AculabLog("Aculab system event resource manager running");
            break;
        case kResourceManagerStopped:
            AculabLog("Aculab system event resource manager stopped");
            break;
        case kIpCardRegistered:
            AculabLog(Format("Aculab system event ip card registered %s", serial.c_str()));
            break;
        case kIpCardUnregistered:
            AculabLog(Format("Aculab system event ip card unregistered %s", serial.c_str()));
            break;
        default:
            AculabLog(Format("Unknown Aculab System Event %u detected", notification.kind));
            break;
    }
    // Restarted without the card list's lock, which the worker's start takes.
    if (restartRelay) {
        EndRelayDigitThread();
        if (!IsRelayDigitThreadRunning() && hardware_->IsAculabAvailable()) {
            StartWorker(relay_digit_worker_, &CVesmarinManager::RelayDigitThreadProc);
        }
    }
    if (ports.empty()) {
        ports.push_back(0);
    }
    if (listener_) {
        for (const int32_t port : ports) {
            messages_.AculabSystemEvent(*listener_, port, BytesOf(notification));
        }
    }
    return 0;
}

}  // namespace ruzd::node
