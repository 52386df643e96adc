// The TDM bus functions: each library reaches the bus through the devices it opens, and answers
// a refusal with -1 and the reason as the device's last error (Global Call's also as its error).

#include <optional>
#include <string>

#include "boardsim/core/behaviour/bus_devices.h"
#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

int32_t Refuse(BusLibrary library, int32_t handle, int32_t error) {
    if (library == BusLibrary::kGlobalCall)
        return Report(Flavour::kGlobalCall,
                      error == EDV_BADDEVICE ? CallFault::kBadLine : CallFault::kBadParameter,
                      handle);
    Machine::Get().devices().SetLastError(handle, error);
    return -1;
}

bool GlobalCallStarted(BusLibrary library) {
    if (library != BusLibrary::kGlobalCall || Machine::Get().globalcall().started())
        return true;
    Report(Flavour::kGlobalCall, CallFault::kNotStarted, 0);
    return false;
}

// The record the bus functions take: one slot.
bool OneSlot(const SC_TSINFO* tsinfo) {
    return tsinfo != nullptr && tsinfo->sc_numts == 1 && tsinfo->sc_tsarrayp != nullptr;
}

int32_t TransmitSlot(int32_t handle, SC_TSINFO* tsinfo, BusLibrary library) {
    if (!GlobalCallStarted(library))
        return -1;
    const std::optional<std::string> device = BusDeviceOf(handle, library);
    if (!device)
        return Refuse(library, handle, EDV_BADDEVICE);
    if (!OneSlot(tsinfo))
        return Refuse(library, handle, EDV_BADPARM);
    tsinfo->sc_tsarrayp[0] = *Machine::Get().bus().SlotOf(*device);
    return 0;
}

int32_t Listen(int32_t handle, const SC_TSINFO* tsinfo, BusLibrary library) {
    if (!GlobalCallStarted(library))
        return -1;
    const std::optional<std::string> device = BusDeviceOf(handle, library);
    if (!device)
        return Refuse(library, handle, EDV_BADDEVICE);
    if (!OneSlot(tsinfo) || tsinfo->sc_tsarrayp[0] < 0)
        return Refuse(library, handle, EDV_BADPARM);
    Machine::Get().bus().Listen(*device, tsinfo->sc_tsarrayp[0]);
    return 0;
}

int32_t Unlisten(int32_t handle, BusLibrary library) {
    if (!GlobalCallStarted(library))
        return -1;
    const std::optional<std::string> device = BusDeviceOf(handle, library);
    if (!device)
        return Refuse(library, handle, EDV_BADDEVICE);
    Machine::Get().bus().Unlisten(*device);
    return 0;
}

}  // namespace

int32_t Behaviour<tags::dx_getxmitslot>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return TransmitSlot(dev, tsinfo, BusLibrary::kVoice);
}

int32_t Behaviour<tags::dx_listen>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return Listen(dev, tsinfo, BusLibrary::kVoice);
}

int32_t Behaviour<tags::dx_unlisten>::Run(int32_t dev) {
    return Unlisten(dev, BusLibrary::kVoice);
}

int32_t Behaviour<tags::ag_getxmitslot>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return TransmitSlot(dev, tsinfo, BusLibrary::kAnalog);
}

int32_t Behaviour<tags::ag_listen>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return Listen(dev, tsinfo, BusLibrary::kAnalog);
}

int32_t Behaviour<tags::ag_unlisten>::Run(int32_t dev) {
    return Unlisten(dev, BusLibrary::kAnalog);
}

int32_t Behaviour<tags::dt_getxmitslot>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return TransmitSlot(dev, tsinfo, BusLibrary::kNetwork);
}

int32_t Behaviour<tags::dt_listen>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return Listen(dev, tsinfo, BusLibrary::kNetwork);
}

int32_t Behaviour<tags::dt_unlisten>::Run(int32_t dev) {
    return Unlisten(dev, BusLibrary::kNetwork);
}

int32_t Behaviour<tags::ms_getxmitslot>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return TransmitSlot(dev, tsinfo, BusLibrary::kStation);
}

int32_t Behaviour<tags::ms_listen>::Run(int32_t dev, SC_TSINFO* tsinfo) {
    return Listen(dev, tsinfo, BusLibrary::kStation);
}

int32_t Behaviour<tags::ms_unlisten>::Run(int32_t dev) {
    return Unlisten(dev, BusLibrary::kStation);
}

int32_t Behaviour<tags::gc_GetXmitSlot>::Run(LINEDEV linedev, SC_TSINFO* tsinfo) {
    return TransmitSlot(linedev, tsinfo, BusLibrary::kGlobalCall);
}

int32_t Behaviour<tags::gc_Listen>::Run(LINEDEV linedev, SC_TSINFO* tsinfo, uint32_t /*mode*/) {
    return Listen(linedev, tsinfo, BusLibrary::kGlobalCall);
}

int32_t Behaviour<tags::gc_UnListen>::Run(LINEDEV linedev, uint32_t /*mode*/) {
    return Unlisten(linedev, BusLibrary::kGlobalCall);
}

// The network handle of a line device on a network time slot is the line device itself: the
// network interface library takes it as one of its time slots.
int32_t Behaviour<tags::gc_GetNetworkH>::Run(LINEDEV linedev, int32_t* network) {
    if (!GlobalCallStarted(BusLibrary::kGlobalCall))
        return -1;
    if (!BusDeviceOf(linedev, BusLibrary::kNetwork) ||
        Machine::Get().devices().Find(linedev)->family != DeviceFamily::kGlobalCall)
        return Refuse(BusLibrary::kGlobalCall, linedev, EDV_BADDEVICE);
    if (network == nullptr)
        return Refuse(BusLibrary::kGlobalCall, linedev, EDV_BADPARM);
    *network = linedev;
    return 0;
}

}  // namespace ruzd::boardsim
