#include "telephony/intel_board.h"

#include "telephony/hardware.h"

namespace ruzd::telephony {

CIntelBoard::~CIntelBoard() {
    Close();
}

void CIntelBoard::Close() {
    CHardware* hardware = PublishedHardware();
    if (handle_ != 0 && hardware != nullptr)
        hardware->gc_Close(kNoLineDevice, handle_);
    handle_ = 0;
}

int32_t CIntelBoard::OpenLineDevice(const std::string& device_name) {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr)
        return -1;
    LINEDEV handle = 0;
    const int32_t result =
        hardware->gc_OpenEx(kNoLineDevice, &handle, device_name, GC_ASYNC, nullptr);
    handle_ = result < 0 ? 0 : handle;
    return result;
}

bool CIntelBoard::CountChannels() {
    CHardware* hardware = PublishedHardware();
    const int32_t count = hardware != nullptr ? hardware->ATDV_SUBDEVS(handle_) : 0;
    channel_count_ = count > 0 ? count : 0;
    return true;
}

}  // namespace ruzd::telephony
