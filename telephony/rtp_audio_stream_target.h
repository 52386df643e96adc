#pragma once

// The RTP sender of a channel's audio: whenever its buffer holds a block of 512 bytes, the
// worker sends it as one RTP packet (A-law, payload type 8) to the destination over UDP. The
// sequence number and timestamp run on from 0 for the life of the sender, the timestamp 512
// samples a packet.

#include <array>
#include <cstdint>
#include <string>

#include "platform/udp_socket.h"
#include "telephony/rtp_audio_stream.h"

namespace ruzd::telephony {

class RTPAudioStreamTarget : public RTPAudioStream {
public:
    static constexpr uint32_t kPayloadSize = 512;
    static constexpr uint32_t kHeaderSize = 12;

    RTPAudioStreamTarget(std::string address_text, int32_t port, AudioRingBuffer* buffer);
    ~RTPAudioStreamTarget() override;

    // The socket and the destination.
    int32_t Open() override;
    // The worker, as the buffer's write-notify stream.
    int32_t Start() override;
    // The worker ended, then the socket closed: a failed close's error number.
    int32_t Close() override;
    // Sends one packet when a whole block is buffered; true while bytes remain.
    bool Process() override;

private:
    const std::string address_text_;
    const int32_t port_;
    uint32_t address_ = 0;  // network order
    platform::UdpSocket socket_;
    uint16_t sequence_ = 0;
    uint32_t timestamp_ = 0;
    const uint32_t ssrc_ = 1;
    std::array<uint8_t, kPayloadSize> payload_{};
};

}  // namespace ruzd::telephony
