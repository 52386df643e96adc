// The Amtelco worker's two jobs: sending the XDS texts queued for the boards, and, whenever its
// queue is idle, taking at most one event of every open board and forwarding it to the central
// server as message 0.

#include <cstdint>
#include <string>
#include <vector>

#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelAmtelco;
using foundation::kDebugNone;
using platform::Format;

namespace {

const char* AmtelcoEventName(int32_t event) {
    switch (event) {
        case 0:
            return "Board successfully opened";
        case 1:
            return "Connection lost on ring 0";
        case 2:
            return "Connection lost on ring 1";
        case 3:
            return "Connection restored on ring 0";
        case 4:
            return "Connection restored on ring 1";
        case 5:
            return "Connection found on ring 0";
        case 6:
            return "No Connection found on ring 0";
        case 7:
            return "Connection found on ring 1";
        case 8:
            return "No Connection found on ring 1";
        default:
            return "Unknown";
    }
}

void AmtelcoLog(const std::string& text) {
    ManagerLog(kDebugChannelAmtelco, kDebugNone, text);
}

}  // namespace

void CVesmarinManager::SendQueuedAmtelcoText(const CAmtelcoParam& record) {
    const int32_t result =
        hardware_->xds_msg_send(static_cast<uint8_t>(record.board), record.text.c_str());
    AmtelcoLog(Format("xds_msg_send %d %s RC=%d", record.board, record.text.c_str(), result));
}

// The board table stays locked for the whole poll, so a board being opened waits for it. The
// events go to the central server once the lock is let go: a command holds the listener's
// writer while it runs, and a board being opened meanwhile would otherwise wait for the poll
// while the poll waits for the writer.
void CVesmarinManager::PollAmtelcoBoards() {
    struct BoardEvent {
        int32_t cable;
        int32_t event;
        int32_t digit;
    };
    std::vector<BoardEvent> events;
    amtelco_.ForEachBoard([this, &events](int32_t board, int32_t cable) {
        AmtelcoLog("Start detecting Amtelco event");
        int32_t event = -1;
        int32_t digit = -1;
        std::string text;
        if (hardware_->GetAmtelcoEvent(static_cast<uint8_t>(board), &event, &digit, &text) != 0) {
            if (event != -1) {
                events.push_back({cable, event, digit});
            }
            AmtelcoLog(Format("Amtelco event: board=%d cable=%d event=%d Msg=%s <%s>", board, cable,
                              event, text.c_str(), AmtelcoEventName(event)));
        }
        AmtelcoLog("End detecting Amtelco event");
    });
    if (!listener_) {
        return;
    }
    for (const BoardEvent& sent : events) {
        messages_.AmtelcoBoardEvent(*listener_, sent.cable, sent.event, sent.digit);
    }
}

}  // namespace ruzd::node
