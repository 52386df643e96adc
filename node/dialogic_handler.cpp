// Forwarding of the Dialogic events: each event the ISDN worker takes becomes a device event
// (message 12) for the central server, or, for the end of a voice function, the message the
// central server waits for after starting that function.

#include <optional>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "node/dialogic_event.h"
#include "node/dialogic_event_forwarder.h"
#include "node/vesmarin_manager.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;

void CVesmarinManager::DialogicHandler(int32_t eventHandle) {
    foundation::CDebugFunction trace;
    trace.Enter("DialogicHandler", kDebugNone, kDebugChannelGeneral, kDebugNone)
        ->Append(eventHandle)
        .EndLine();
    if (!hardware_) {
        return;
    }
    std::optional<DialogicEvent> event = ReadDialogicEvent(*this, *hardware_, eventHandle);
    if (!event) {
        return;
    }
    if (!listener_) {
        event->Log("No server socket any more!");
        return;
    }
    DialogicEventForwarder(*this, *hardware_, messages_, *listener_, callback_).Forward(*event);
}

}  // namespace ruzd::node
