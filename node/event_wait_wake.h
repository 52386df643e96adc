#pragma once

// Wakes the ISDN worker out of its wait for the event library's next event. The library's wait
// returns only with an event or at its time-out, so a stop puts an event of the node's own on
// the event library's device; the worker recognises it after its wait and drops it, here or in
// a later run when the wait it was meant for had already returned.

#include <atomic>
#include <cstdint>

namespace ruzd::telephony {
class CHardwareISDN;
}

namespace ruzd::node {

class EventWaitWake {
public:
    // Puts a wake event.
    void Wake(telephony::CHardwareISDN& hardware);
    // After a wait returned an event: true when the event is a wake, which is then dropped.
    // The event is only looked at while a wake is outstanding.
    bool TakeWake(telephony::CHardwareISDN& hardware);

private:
    std::atomic<int32_t> outstanding_{0};
};

}  // namespace ruzd::node
