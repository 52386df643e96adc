// The stations and their boards: a station rings unless off hook, tells its hook bits, and
// keeps the parameters and event masks set on it or on its board.

#include <cstring>

#include "boardsim/core/behaviour/conference_devices.h"
#include "boardsim/core/behaviours.h"

namespace ruzd::boardsim {
namespace {

std::optional<std::string> Station(int32_t handle) {
    return OpenDeviceOf(handle, DeviceFamily::kStation, DeviceLevel::kSubdevice);
}

int32_t KeepParameter(int32_t handle, DeviceFamily family, const char* kind, uint32_t param,
                      const void* value) {
    const std::optional<std::string> device = OpenDeviceOf(handle, family, DeviceLevel::kAny);
    if (!device)
        return -1;
    if (value == nullptr)
        return Answer(handle, EDV_BADPARM);
    int32_t number = 0;
    std::memcpy(&number, value, sizeof number);
    Machine::Get().stations().SetParameter(*device, kind, param, number);
    return 0;
}

}  // namespace

int32_t Behaviour<tags::ms_genring>::Run(int32_t dev, uint16_t /*length*/, uint16_t /*mode*/) {
    const std::optional<std::string> station = Station(dev);
    if (!station)
        return -1;
    return Answer(dev, Machine::Get().stations().Ring(*station) ? EDV_NOERROR : EDV_BUSY);
}

int32_t Behaviour<tags::ms_stopfn>::Run(int32_t dev, uint32_t /*function*/) {
    const std::optional<std::string> station = Station(dev);
    if (!station)
        return -1;
    Machine::Get().stations().Stop(*station);
    return 0;
}

int32_t Behaviour<tags::ATMS_TSSGBIT>::Run(int32_t dev) {
    const std::optional<std::string> station = Station(dev);
    if (!station)
        return -1;
    return Machine::Get().stations().IsOffHook(*station) ? MS_OFFHOOK : 0;
}

int32_t Behaviour<tags::ms_setbrdparm>::Run(int32_t dev, uint32_t param, void* value) {
    return KeepParameter(dev, DeviceFamily::kStation, "board", param, value);
}

int32_t Behaviour<tags::ms_setstparm>::Run(int32_t dev, uint8_t param, void* value) {
    return KeepParameter(dev, DeviceFamily::kStation, "station", param, value);
}

int32_t Behaviour<tags::ms_setevtmsk>::Run(int32_t dev, uint32_t event, uint32_t bitmask,
                                           int32_t action) {
    const std::optional<std::string> device =
        OpenDeviceOf(dev, DeviceFamily::kStation, DeviceLevel::kAny);
    if (!device)
        return -1;
    Machine::Get().stations().SetEventMask(*device, event, bitmask, action);
    return 0;
}

int32_t Behaviour<tags::dcb_setbrdparm>::Run(int32_t dev, uint32_t param, void* value) {
    return KeepParameter(dev, DeviceFamily::kConference, "board", param, value);
}

}  // namespace ruzd::boardsim
