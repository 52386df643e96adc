
#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviour/globalcall_line_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// A marker Global Call puts into every meta event it fills.
constexpr int32_t kMetaEventMagic = 0x4D455645;

}  // namespace

// The current event, with its line device, the user attribute the line device was opened
// with and its call-control library; call events carry their call reference as the first
// word of their data. The extension data is the event's own (a parameter block, or an
// extension id and its block). A traced line device's trace gets the event.
int32_t Behaviour<tags::gc_GetMetaEvent>::Run(METAEVENT* metaevent) {
    if (!Machine::Get().globalcall().started())
        return Report(Flavour::kGlobalCall, CallFault::kNotStarted, 0);
    if (metaevent == nullptr)
        return Report(Flavour::kGlobalCall, CallFault::kBadParameter, 0);
    EventQueue& events = Machine::Get().events();
    const std::optional<Event> event = events.Current();
    if (!event)
        return -1;
    *metaevent = METAEVENT{};
    metaevent->magicno = kMetaEventMagic;
    metaevent->evtdatap = events.CurrentData();
    metaevent->evtlen = static_cast<int32_t>(event->data.size());
    metaevent->evtdev = event->device;
    metaevent->evttype = event->type;
    metaevent->linedev = event->device;
    metaevent->usrattr = Machine::Get().calls().UserAttribute(event->device);
    metaevent->cclibid = CallControlLibraryOf(event->device);
    metaevent->extevtdatap = events.CurrentExtension();
    if (const std::optional<CallEventData> call = DecodeCallEvent(*event))
        metaevent->crn = call->crn;
    TraceEvent(*event, metaevent->crn);
    return 0;
}

}  // namespace ruzd::boardsim
