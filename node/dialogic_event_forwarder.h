#pragma once

// Forwards one Dialogic event to the central server, one family of events at a time: the ends
// of voice functions become the messages the central server waits for after starting them,
// every other event becomes a device event (message 12) with the tail of its kind.

#include <cstdint>
#include <optional>

#include "node/central_messages.h"
#include "telephony/vendorapi/isdn.h"

namespace ruzd::net {
class COutputStreamSocket;
}
namespace ruzd::telephony {
class CHardwareISDN;
}

namespace ruzd::node {

class CVesmarinManager;
class CVesmarinManagerCallback;
struct DialogicEvent;

class DialogicEventForwarder {
public:
    // `callback` may be null: port states then go unreported.
    DialogicEventForwarder(CVesmarinManager& manager, telephony::CHardwareISDN& hardware,
                           const CentralMessages& messages, net::COutputStreamSocket& listener,
                           CVesmarinManagerCallback* callback);

    void Forward(DialogicEvent& event);

private:
    // Each family forwards the events that are its own and tells whether the event was one.
    // The ends of play, record, digits, dial, call progress and tone, and the voice errors.
    bool ForwardVoiceEvent(DialogicEvent& event);
    // Call control: a call offered, ended, progressing or refused, and its facilities.
    bool ForwardCallEvent(DialogicEvent& event);
    // Blocking of a line and the network interface's signalling: one word of event data.
    bool ForwardLineStateEvent(DialogicEvent& event);
    // Alarms, extensions and service responses, which only Global Call's meta record describes.
    bool ForwardGlobalCallEvent(DialogicEvent& event);
    // Everything else, restarts and station events among it.
    void ForwardOtherEvent(DialogicEvent& event);

    void ForwardDigits(const DialogicEvent& event);
    // The central server waits for the end of the function that failed.
    void SimulateVoiceEnds(const DialogicEvent& event);
    void ForwardOffered(DialogicEvent& event);
    void ForwardStationEvent(DialogicEvent& event);

    // The information elements of the event, when they can be read.
    std::optional<ByteView> InformationElements(DialogicEvent& event);
    void ReportStatus(int32_t port_type, int32_t ldev, const char* text);

    CVesmarinManager& manager_;
    telephony::CHardwareISDN& hardware_;
    const CentralMessages& messages_;
    net::COutputStreamSocket& listener_;
    CVesmarinManagerCallback* const callback_;
    char elements_[sizeof(IE_BLK)] = {};
};

}  // namespace ruzd::node
