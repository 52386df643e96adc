#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

const char* ErrorText(int32_t error) {
    switch (error) {
        case EDV_NOERROR:
            return "No error";
        case EDV_BADDEVICE:
            return "Invalid device handle";
        case EDV_BADPARM:
            return "Invalid parameter";
        case EDV_BUSY:
            return "Device busy";
        default:
            return "System error";
    }
}

}  // namespace

int32_t Behaviour<tags::sr_waitevt>::Run(int32_t timeout) {
    return Machine::Get().events().Wait(timeout) ? 0 : SR_TMOUT;
}

int32_t Behaviour<tags::sr_putevt>::Run(int32_t dev, uint32_t type, int32_t length, void* data,
                                        int32_t /*error*/) {
    std::vector<uint8_t> bytes;
    if (data != nullptr && length > 0) {
        const auto* begin = static_cast<const uint8_t*>(data);
        bytes.assign(begin, begin + length);
    }
    Machine::Get().events().Put(dev, static_cast<int32_t>(type), std::move(bytes));
    return 0;
}

int32_t Behaviour<tags::sr_getevtdev>::Run(int32_t /*event_handle*/) {
    const std::optional<Event> event = Machine::Get().events().Current();
    return event ? event->device : -1;
}

int32_t Behaviour<tags::sr_getevttype>::Run(int32_t /*event_handle*/) {
    const std::optional<Event> event = Machine::Get().events().Current();
    return event ? event->type : -1;
}

void* Behaviour<tags::sr_getevtdatap>::Run(int32_t /*event_handle*/) {
    return Machine::Get().events().CurrentData();
}

int32_t Behaviour<tags::sr_getevtlen>::Run(int32_t /*event_handle*/) {
    const std::optional<Event> event = Machine::Get().events().Current();
    return event ? static_cast<int32_t>(event->data.size()) : 0;
}

int32_t Behaviour<tags::sr_getboardcnt>::Run(const char* class_name, int32_t* count) {
    if (class_name == nullptr || count == nullptr)
        return -1;
    const std::optional<int32_t> boards = Machine::Get().devices().BoardCount(class_name);
    if (!boards)
        return -1;
    *count = *boards;
    return 0;
}

const char* Behaviour<tags::ATDV_NAMEP>::Run(int32_t dev) {
    return Machine::Get().devices().NameOf(dev);
}

const char* Behaviour<tags::ATDV_ERRMSGP>::Run(int32_t dev) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(dev);
    return ErrorText(device ? device->last_error : EDV_BADDEVICE);
}

int32_t Behaviour<tags::ATDV_LASTERR>::Run(int32_t dev) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(dev);
    return device ? device->last_error : EDV_BADDEVICE;
}

int32_t Behaviour<tags::ATDV_SUBDEVS>::Run(int32_t dev) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(dev);
    return device ? device->subdevices : AT_FAILURE;
}

}  // namespace ruzd::boardsim
