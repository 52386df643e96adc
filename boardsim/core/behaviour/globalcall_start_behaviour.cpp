// Starting and stopping Global Call, the status of its call-control libraries and its error
// reports.

#include <string_view>

#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/globalcall_library.h"
#include "boardsim/core/machine.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {
namespace {

GlobalCallLibrary& Library() {
    return Machine::Get().globalcall();
}

int32_t Refuse(int32_t error, int32_t cclib_id = GC_NO_CCLIB) {
    SetThreadFault({error, cclib_id, 0});
    return -1;
}

}  // namespace

int32_t Behaviour<tags::gc_Start>::Run(GC_START_STRUCT* start) {
    int32_t failed_id = GC_NO_CCLIB;
    const int32_t error = Library().Start(start, &failed_id);
    if (error == kGcNoError)
        return 0;
    return Refuse(error, error == kGcLibraryFailed ? failed_id : GC_NO_CCLIB);
}

// Stopping closes every line device Global Call opened, ending its trace.
int32_t Behaviour<tags::gc_Stop>::Run() {
    if (!Library().Stop())
        return Refuse(kGcNotStarted);
    Machine& machine = Machine::Get();
    for (const DeviceInfo& device : machine.devices().OpenDevices()) {
        if (device.family != DeviceFamily::kGlobalCall)
            continue;
        machine.devices().Close(device.handle);
        machine.calls().CloseLine(device.handle);
        if (const std::optional<int32_t> trace = machine.line_extras().EndTrace(device.handle))
            VoiceFileClose(*trace);
        machine.line_extras().Forget(device.handle);
    }
    return 0;
}

// "GC_ALL_LIB" fills the status of every library; a library's own name its state (32 bits).
int32_t Behaviour<tags::gc_CCLibStatusEx>::Run(const char* cclib_name, void* status) {
    if (cclib_name == nullptr || status == nullptr)
        return Refuse(kGcBadParameter);
    if (std::string_view(cclib_name) == "GC_ALL_LIB") {
        Library().StatusAll(static_cast<GC_CCLIB_STATUSALL*>(status));
        return 0;
    }
    const std::optional<int32_t> state = Library().Status(cclib_name);
    if (!state)
        return Refuse(kGcBadParameter);
    *static_cast<int32_t*>(status) = *state;
    return 0;
}

int32_t Behaviour<tags::gc_ErrorValue>::Run(int32_t* gc_error, int32_t* cclib_id,
                                            int32_t* cclib_error) {
    if (gc_error == nullptr || cclib_id == nullptr || cclib_error == nullptr)
        return -1;
    const GlobalCallFault fault = ThreadFault();
    *gc_error = fault.gc_value;
    *cclib_id = fault.cclib_id;
    *cclib_error = fault.cc_value;
    return 0;
}

int32_t Behaviour<tags::gc_ErrorInfo>::Run(GC_INFO* info) {
    if (info == nullptr)
        return -1;
    const GlobalCallFault fault = ThreadFault();
    info->gcValue = fault.gc_value;
    info->gcMsg = GlobalCallErrorText(fault.gc_value);
    info->ccLibId = fault.cclib_id;
    info->ccLibName = GlobalCallLibrary::LibraryName(fault.cclib_id);
    info->ccValue = fault.cc_value;
    info->ccMsg = CauseText(fault.cc_value);
    info->additionalInfo = "";
    return 0;
}

// Library id 0 (or none) is Global Call itself, whose codes are its errors; a call-control
// library's codes are causes.
int32_t Behaviour<tags::gc_ResultMsg>::Run(uint32_t cclib_id, int32_t result_code, char** msg) {
    if (msg == nullptr)
        return -1;
    const auto id = static_cast<int32_t>(cclib_id);
    *msg = const_cast<char*>(id <= 0 ? GlobalCallErrorText(result_code) : CauseText(result_code));
    return 0;
}

}  // namespace ruzd::boardsim
