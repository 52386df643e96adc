#pragma once

// The status view as both of its sources see it. In mode 2 the node manager reports to the view,
// in mode 3 the window side of the local GUI link (CVesmarinGUISocket) does, with the same
// operations, so that a window attached to a service shows what a window driving the hardware
// shows. The calls come on the manager's or the link's threads; the view turns each one into
// one of its own window messages below, carrying a copy of any text, so that the list and the
// status bar change on the window's thread only.

#include <cstdint>

#include "node/vesmarin_manager_callback.h"

namespace ruzd::app {

// The receiver of the reports: OnVesmarinManagerStop, OnVesmarinStatus, OnVesmarinConnectionState,
// OnVesmarinStatusText and OnVesmarinClearView (the link never calls OnVesmarinManagerStop).
using StatusView = node::CVesmarinManagerCallback;

// The messages the view posts to itself.
enum StatusViewMessage : uint32_t {
    kViewStatusConnection = 0x8000,  // connected (0/1), starting (0/1)
    kViewStatusISDN = 0x8002,        // status key, text: a port of type 3
    kViewStatusVoice = 0x8003,       // type 1
    kViewStatusMSI = 0x8004,         // type 5
    kViewStatusAmtelco = 0x8005,     // the Amtelco rows (key 999); no report posts it
    kViewStatusACU_IP = 0x8006,      // type 18
    kViewStatusIP = 0x8007,          // type 7
    kViewInit = 0x8008,              // posted by the view's first update
    kViewStatusText = 0x8009,        // text: the status-bar text
};

// The message a port report of `portType` posts; 0 for a type the view does not show.
constexpr uint32_t StatusViewMessageOf(int32_t portType) {
    switch (portType) {
        case 3:
            return kViewStatusISDN;
        case 1:
            return kViewStatusVoice;
        case 5:
            return kViewStatusMSI;
        case 18:
            return kViewStatusACU_IP;
        case 7:
            return kViewStatusIP;
        default:
            return 0;
    }
}

// Port reports of line devices from this number on are whole boards, which the view never shows.
inline constexpr int32_t kFirstBoardLineDevice = 1000000;

// Status key = line device number x 1000 + status value (0 to 999).
constexpr int32_t StatusKey(int32_t ldev, int32_t value) {
    return ldev * 1000 + value;
}

}  // namespace ruzd::app
