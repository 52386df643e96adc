#include <cstring>

#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// A marker Global Call puts into every meta event it fills.
constexpr int32_t kMetaEventMagic = 0x4D455645;

bool IsCallControlEvent(int32_t type) {
    return (type & 0xF00) == 0x800;
}

}  // namespace

// The current event, with its line device; call events carry their call reference as the
// first word of their data.
int32_t Behaviour<tags::gc_GetMetaEvent>::Run(METAEVENT* metaevent) {
    if (metaevent == nullptr)
        return -1;
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
    if (IsCallControlEvent(event->type) && event->data.size() >= sizeof(CRN))
        std::memcpy(&metaevent->crn, event->data.data(), sizeof(CRN));
    return 0;
}

}  // namespace ruzd::boardsim
