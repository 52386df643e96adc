#pragma once

// The hardware steps of the manager's start-up that can keep the node from running: setting up
// the Amtelco board ("-a"), waiting for the Dialogic service and for the Aculab Prosody IP cards.
// Each works on any object with the facade's operations of the same names, so that tests can run
// them against a scripted one.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

#include "foundation/debug_channel.h"
#include "node/exception_cm.h"
#include "node/manager_log.h"
#include "node/manager_settings.h"
#include "telephony/sized_record.h"
#include "telephony/vendorapi/aculab.h"
#include "telephony/vendorapi/ncm.h"

namespace ruzd::node {

inline constexpr const char* kAmtelcoFailedMessage = "Could not configure Amtelco!";
inline constexpr const char* kDialogicTimeoutMessage =
    "Dialogic Service is not running after 10 min.";
inline constexpr int kDialogicWaitAttempts = 600;
inline constexpr const char* kAculabCardsTimeoutMessage =
    "Aculab Cards not all in service after 10 min.";
inline constexpr int kAculabWaitAttempts = 600;

// Resets the board and sets its ring mode, bus rates, A-law encoding and bus clock, stopping at
// the first failure, which is logged and thrown as a fatal start-up error.
template <typename Hardware>
void ConfigureAmtelcoBoard(Hardware& hardware, const ManagerSettings& settings) {
    const auto board = static_cast<uint8_t>(settings.amtelcoBoard);
    const std::string number = std::to_string(settings.amtelcoBoard);
    const auto failed = [&number](const char* what) {
        ManagerLog(foundation::kDebugChannelAmtelco, foundation::kDebugNone, what + number);
        throw CExceptionCM(kAmtelcoFailedMessage, true);
    };
    if (hardware.xds_board_reset(board) != 0) {
        failed("Error Resetting board #");
    }
    if (hardware.xds_mc3_ring_mode(board, 1) != 0) {
        failed("Error Setting ring mode for board #");
    }
    const uint8_t rate = settings.ctBus ? 2 : 1;
    if (hardware.xds_set_ctbus_rate(board, rate, rate, rate, rate) != 0) {
        failed(settings.ctBus ? "Error Setting CT stream rates for board #"
                              : "Error Setting SC stream rates for board #");
    }
    if (hardware.xds_set_encoding(board, 65) != 0) {
        failed("Error Setting encoding to Alaw for board #");
    }
    int32_t result = 0;
    if (settings.busClockMaster) {
        result = hardware.xds_set_ct_clock_mode(board, 2, 4, settings.ctBus ? 0 : 2, 0, 3);
    } else if (settings.ctBus) {
        result = hardware.xds_set_ct_clock_mode(board, 1, 0, 0, 0, 0);
    } else {
        result = hardware.xds_set_ct_clock_mode(board, 1, 3, 0, 0, 0);
    }
    ManagerLog(foundation::kDebugChannelAmtelco, foundation::kDebugNone,
               "Setting board #" + number + " to " +
                   (settings.busClockMaster ? "Master" : "Slave") +
                   (result == 0 ? " Succeded" : " Failed"));
    if (result != 0) {
        throw CExceptionCM(kAmtelcoFailedMessage, true);
    }
}

// What the wait does between two queries: keep the thread's messages moving and sleep a
// second, and show the status text.
struct ServiceWaitHooks {
    std::function<void()> pause;
    std::function<void(const std::string& text)> status;
};

// The pause between two queries of a start-up wait: the application thread first hands every
// pending message to the application, so that its timers and notices keep moving; then the
// calling thread sleeps. A quit message is left in the queue for the message loop.
void PauseKeepingMessagesMoving(uint32_t milliseconds);

// Waits until the Dialogic service runs, starting it when it is stopped and no start was seen.
// A failing query ends the wait as well: there is nothing to wait for then. Throws a fatal
// start-up error after `attempts` seconds.
template <typename Hardware>
void WaitForDialogicService(Hardware& hardware, const ServiceWaitHooks& hooks,
                            int attempts = kDialogicWaitAttempts) {
    bool startSeen = false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        ::NCM_DLGSRV_STATE state = 0;
        if (hardware.NCM_GetDlgSrvStateEx(&state) != ::NCM_SUCCESS ||
            state == ::NCM_DLGSRV_RUNNING) {
            return;
        }
        if (state == ::NCM_DLGSRV_START_PENDING) {
            startSeen = true;
        } else if (state == ::NCM_DLGSRV_STOPPED && !startSeen) {
            hardware.NCM_StartDlgSrv();
        }
        ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone,
                   "Dialogic Service is not yet running");
        if (hooks.pause) {
            hooks.pause();
        }
        if (hooks.status) {
            hooks.status("Waiting on Dialogic drivers to be started");
        }
    }
    throw CExceptionCM(kDialogicTimeoutMessage, true);
}

// Waits until every registered Prosody IP card whose state can be asked is in service. Nothing
// to wait for when the list cannot be read or is empty. Throws a fatal start-up error after
// `attempts` rounds.
template <typename Hardware>
void WaitForAculabCards(Hardware& hardware, const ServiceWaitHooks& hooks,
                        int attempts = kAculabWaitAttempts) {
    ACU_PROSODY_IP_REGISTERED_CARDS_PARMS registered =
        telephony::SizedRecord<ACU_PROSODY_IP_REGISTERED_CARDS_PARMS>();
    if (hardware.acu_prosody_ip_get_registered_cards(&registered) != 0 || registered.count == 0) {
        return;
    }
    const size_t count = std::min<size_t>(registered.count, std::size(registered.serial_no));
    const auto allInService = [&] {
        for (size_t i = 0; i < count; ++i) {
            ACU_PROSODY_IP_CARD_STATUS_PARMS status =
                telephony::SizedRecord<ACU_PROSODY_IP_CARD_STATUS_PARMS>();
            std::memcpy(status.serial_no, registered.serial_no[i], sizeof registered.serial_no[i]);
            if (hardware.acu_prosody_ip_card_status(&status) == 0 &&
                std::string(status.state, strnlen(status.state, sizeof status.state)) !=
                    "In service") {
                return false;
            }
        }
        return true;
    };
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (allInService()) {
            return;
        }
        ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone,
                   "Aculab Cards not all in service yet");
        if (hooks.pause) {
            hooks.pause();
        }
        if (hooks.status) {
            hooks.status("Waiting on Aculab Cards to be in service");
        }
    }
    throw CExceptionCM(kAculabCardsTimeoutMessage, true);
}

}  // namespace ruzd::node
