// The conferences of the station boards (ms_, on a board handle) and of the conference boards'
// DSPs (dcb_, on a DSP handle). A refusal answers -1 with its reason as the device's last
// error.

#include "boardsim/core/behaviour/conference_devices.h"
#include "boardsim/core/behaviours.h"

namespace ruzd::boardsim {
namespace {

std::optional<std::string> StationBoard(int32_t handle) {
    return OpenDeviceOf(handle, DeviceFamily::kStation, DeviceLevel::kBoard);
}

std::optional<std::string> Dsp(int32_t handle) {
    return OpenDeviceOf(handle, DeviceFamily::kConference, DeviceLevel::kSubdevice);
}

using Room = std::optional<std::string> (*)(int32_t);

int32_t Establish(Room room, int32_t dev, MS_CDT* parties, int32_t count, int32_t attributes,
                  int32_t* conf_id) {
    const std::optional<std::string> device = room(dev);
    if (!device)
        return -1;
    return Answer(
        dev, Machine::Get().conferences().Establish(*device, parties, count, attributes, conf_id));
}

int32_t Add(Room room, int32_t dev, int32_t conf_id, MS_CDT* party) {
    const std::optional<std::string> device = room(dev);
    if (!device)
        return -1;
    return Answer(dev, Machine::Get().conferences().Add(*device, conf_id, party));
}

int32_t Remove(Room room, int32_t dev, int32_t conf_id, const MS_CDT* party) {
    const std::optional<std::string> device = room(dev);
    if (!device)
        return -1;
    if (party == nullptr)
        return Answer(dev, EDV_BADPARM);
    return Answer(dev, Machine::Get().conferences().Remove(*device, conf_id, *party));
}

int32_t SetAttribute(Room room, int32_t dev, int32_t conf_id, const MS_CDT* party) {
    const std::optional<std::string> device = room(dev);
    if (!device)
        return -1;
    if (party == nullptr)
        return Answer(dev, EDV_BADPARM);
    return Answer(dev, Machine::Get().conferences().SetAttribute(*device, conf_id, *party));
}

int32_t Delete(Room room, int32_t dev, int32_t conf_id) {
    const std::optional<std::string> device = room(dev);
    if (!device)
        return -1;
    return Answer(dev, Machine::Get().conferences().Delete(*device, conf_id));
}

int32_t FreeResources(Room room, int32_t dev, int32_t* count) {
    const std::optional<std::string> device = room(dev);
    if (!device)
        return -1;
    const std::optional<int32_t> free = Machine::Get().conferences().FreeResources(*device);
    if (!free || count == nullptr)
        return Answer(dev, EDV_BADPARM);
    *count = *free;
    return 0;
}

}  // namespace

// One library's conference functions, on the devices `room` finds.
#define BOARDSIM_CONFERENCE_FUNCTIONS(prefix, room)                                              \
    int32_t Behaviour<tags::prefix##_estconf>::Run(int32_t dev, MS_CDT* parties, int32_t count,  \
                                                   int32_t attributes, int32_t* conf_id) {       \
        return Establish(room, dev, parties, count, attributes, conf_id);                        \
    }                                                                                            \
    int32_t Behaviour<tags::prefix##_addtoconf>::Run(int32_t dev, int32_t conf_id,               \
                                                     MS_CDT* party) {                            \
        return Add(room, dev, conf_id, party);                                                   \
    }                                                                                            \
    int32_t Behaviour<tags::prefix##_remfromconf>::Run(int32_t dev, int32_t conf_id,             \
                                                       MS_CDT* party) {                          \
        return Remove(room, dev, conf_id, party);                                                \
    }                                                                                            \
    int32_t Behaviour<tags::prefix##_setcde>::Run(int32_t dev, int32_t conf_id, MS_CDT* party) { \
        return SetAttribute(room, dev, conf_id, party);                                          \
    }                                                                                            \
    int32_t Behaviour<tags::prefix##_delconf>::Run(int32_t dev, int32_t conf_id) {               \
        return Delete(room, dev, conf_id);                                                       \
    }                                                                                            \
    int32_t Behaviour<tags::prefix##_dsprescount>::Run(int32_t dev, int32_t* count) {            \
        return FreeResources(room, dev, count);                                                  \
    }

BOARDSIM_CONFERENCE_FUNCTIONS(ms, StationBoard)
BOARDSIM_CONFERENCE_FUNCTIONS(dcb, Dsp)

#undef BOARDSIM_CONFERENCE_FUNCTIONS

int32_t Behaviour<tags::dcb_DeleteAllConferences>::Run(int32_t dev, int32_t /*rfu1*/,
                                                       int32_t /*rfu2*/) {
    const std::optional<std::string> device = Dsp(dev);
    if (!device)
        return -1;
    Machine::Get().conferences().DeleteAll(*device);
    return 0;
}

}  // namespace ruzd::boardsim
