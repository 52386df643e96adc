#pragma once

// What each of the manager's five workers writes to the debug log. The texts, slips included,
// are the ones the node's logs have always shown, so that log readers keep finding them.

#include "node/worker_thread.h"

namespace ruzd::node {

inline WorkerTexts ISDNWorkerTexts() {
    return {"ISDNThread",          foundation::kDebugChannelDti,
            "ISDN Thread started", "ISDN Thread ended",
            "EndISDNThread",       "ERROR: ISDN thread didn't terminated"};
}

inline WorkerTexts AmtelcoWorkerTexts() {
    return {"AmtelcoThread",          foundation::kDebugChannelAmtelco,
            "Amtelco Thread started", "Amtelco Thread ended",
            "EndAmtelcoThread",       "ERROR: Amtelco thread didn't terminate"};
}

inline WorkerTexts AculabWorkerTexts() {
    return {"AculabThread",         foundation::kDebugChannelDti,
            "AculabThread started", "AculabThread ended",
            "EndAculabThread",      "ERROR: Aculab thread didn't terminated"};
}

inline WorkerTexts RelayDigitWorkerTexts() {
    return {"RelayDigitThread",         foundation::kDebugChannelDti,
            "RelayDigitThread started", "RelayDigitThread ended",
            "EndRelayDigitThread",      "ERROR: Relay Digit thread didn't terminated"};
}

inline WorkerTexts FileHandlingWorkerTexts() {
    return {"FileHandlingThread",         foundation::kDebugChannelDti,
            "FileHandlingThread started", "FileHandlingThread ended",
            "EndFileHandlingThread",      "ERROR: File Handling thread didn't terminated"};
}

}  // namespace ruzd::node
