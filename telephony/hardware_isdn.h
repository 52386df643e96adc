#pragma once

// CHardwareISDN: the facade the node uses. Every operation forwards to the vendor function of
// its name through the function tables, with the refusals of its family (see
// telephony/facade_forms.h); the operations written by hand are defined in the
// hardware_isdn_*.cpp file of their family.

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "telephony/hardware.h"

namespace ruzd::telephony {

class CHardwareISDN : public CHardware {
public:
    // Loads the libraries, logs what the program was built with and hands the node's
    // invalid-parameter handler to every loaded module that takes one.
    explicit CHardwareISDN(uint32_t creator_thread_id);
    // The same with the Aculab path as given: switched on only by tests that build the node
    // manager in their own process.
    CHardwareISDN(uint32_t creator_thread_id, AculabPath aculab);
    ~CHardwareISDN() override = default;

#define FACADE_SLOT override
#include "telephony/facade_declarations.inc"
#define FACADE_HAND(ret, name, params) ret name params override;
#include "telephony/facade_hand_written.inc"
#undef FACADE_HAND
#define FACADE_TING(ret, name, member, params, args) ret name params override;
#include "telephony/facade_ting_operations.inc"
#undef FACADE_TING
#undef FACADE_SLOT

protected:
    // For tests of the loading chain only: may switch the Aculab path on and load Global Call
    // alone, which the node never does.
    CHardwareISDN(uint32_t creator_thread_id, AculabPath aculab, bool global_call_only);

private:
    // The restart guard: -1 (true) with its log line while `ldev` restarts.
    static bool RefusedWhileRestarting(int32_t ldev, const char* operation);
    // The Global Call guard: true, after "GLOBALCALL NOT initialised" on the given channel and
    // device, while Global Call is not started.
    bool RefusedWithoutGlobalCall(int kind, int32_t device) const;
    // Runs one Aculab call-control call and logs it when it took more than 500 ms.
    template <typename Call>
    static auto TimedAculabCall(const char* name, Call call) {
        const uint64_t start = platform::CurrentClock().TickMs();
        auto result = call();
        LogSlowAculabCall(name, start);
        return result;
    }
    static void LogSlowAculabCall(const char* name, uint64_t start_ms);
    // "Function %s not loaded." with the operation's name; returns -1.
    static int32_t FunctionNotLoaded(const char* qualified_name);
    // ATDV_NAMEP or ATDV_ERRMSGP: the vendor's narrow text as our text, empty for none.
    std::string DeviceText(const char* (*CLibSRLMT::*member)(int32_t), int32_t dev) const;
};

}  // namespace ruzd::telephony
