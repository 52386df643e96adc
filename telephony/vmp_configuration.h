#pragma once

// Configuring the reserved VMP contexts of an Aculab IP channel (telephony/vmp_contexts.h)
// from the far end's media description: where the transmit context sends RTP and RTCP, which
// codec each context speaks, and that the receive context detects tones. Nothing in the node
// calls it yet; the channel is named by its line device number, as there.

#include <cstdint>
#include <string>

namespace ruzd::telephony {

// The far end's media, as a session description gives it.
struct VmpMediaDescription {
    // The connection address in dotted form and the media port; RTCP goes to the port above.
    std::string remote_address;
    int32_t media_port = 0;
    // The first format's RTP payload type, and the packet time in milliseconds (0 when the
    // description gives none).
    int32_t payload_type = 0;
    int32_t packet_time_ms = 0;
    // A second format, when there is one: its encoding name and payload type.
    std::string second_encoding;
    int32_t second_payload_type = 0;
};

// The media library's codec of an RTP payload type: mu-law for 0, A-law for 8, G.729 for 18,
// A-law for any other.
int32_t CodecFromPayloadType(int32_t payload_type);

// The four steps below in turn; the first that fails ends it, logged, with its result.
int32_t ConfigureVMPContext(int32_t ldev, const VmpMediaDescription& media);

// The transmit context's destinations: RTP to the media port, RTCP to the port above.
int32_t ConfigureVMPTX(int32_t ldev, const VmpMediaDescription& media);
// The receive context's codec, and telephone events when the second format carries them.
int32_t ConfigureVMPRXCodec(int32_t ldev, const VmpMediaDescription& media);
// The transmit context's codec and packet time (10 ms when the description gives none).
int32_t ConfigureVMPTXCodec(int32_t ldev, const VmpMediaDescription& media);
// Tone detection on the receive context.
int32_t ConfigureVMPRXTones(int32_t ldev);

}  // namespace ruzd::telephony
