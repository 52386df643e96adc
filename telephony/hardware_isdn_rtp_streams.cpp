// The facade operations that reach the RTP streams of the voice channels.

#include <utility>

#include "telephony/hardware_isdn.h"
#include "telephony/rtp_channel_streams.h"

namespace ruzd::telephony {

int32_t CHardwareISDN::StartRTPStream(int32_t channel, std::string address, int32_t port) {
    return RTPStreamStart(channel, address, port) ? 0 : -1;
}

int32_t CHardwareISDN::StopRTPStream(int32_t channel) {
    return RTPStreamStop(channel) ? 0 : -1;
}

int32_t CHardwareISDN::RemoveRTPStream(int32_t channel) {
    return RTPStreamRemove(channel) ? 0 : -1;
}

}  // namespace ruzd::telephony
