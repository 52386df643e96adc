#include "telephony/rtp_audio_stream_target.h"

#include <memory>
#include <utility>

#include "platform/ipv4_text.h"
#include "telephony/audio_ring_buffer.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr uint8_t kVersion2 = 0x80;      // no padding, no extension, no contributing sources
constexpr uint8_t kPayloadTypeAlaw = 8;  // marker 0

void PutBigEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

}  // namespace

RTPAudioStreamTarget::RTPAudioStreamTarget(std::string address_text, int32_t port,
                                           AudioRingBuffer* buffer)
    : RTPAudioStream(buffer, "RTPAudioStreams"),
      address_text_(std::move(address_text)),
      port_(port) {}

RTPAudioStreamTarget::~RTPAudioStreamTarget() {
    RTPAudioStreamTarget::Close();
}

int32_t RTPAudioStreamTarget::Open() {
    if (!socket_.Open()) {
        VendorTrace(0, 0, "Error opening outbound rtp - getting socket");
        return -1;
    }
    address_ = platform::ParseIpv4Destination(address_text_);
    return 0;
}

int32_t RTPAudioStreamTarget::Start() {
    return StartOn(Notice::kWrite);
}

int32_t RTPAudioStreamTarget::Close() {
    RTPAudioStream::Close();
    if (!socket_.IsOpen()) {
        return 0;
    }
    const int32_t result = socket_.Close();
    if (result != 0) {
        VendorTrace(0, 0, "Error %d close outbound rtp - Closing socket", result);
    }
    return result;
}

bool RTPAudioStreamTarget::Process() {
    AudioRingBuffer& ring = *buffer();
    if (ring.Fill() < kPayloadSize) {
        return false;
    }
    const uint32_t length = ring.Read(payload_.data(), kPayloadSize);
    if (length == 0) {
        return false;
    }
    const uint32_t packet_length = length + kHeaderSize;
    const auto packet = std::make_unique<uint8_t[]>(packet_length);
    packet[0] = kVersion2;
    packet[1] = kPayloadTypeAlaw;
    PutBigEndian(&packet[2], sequence_++, 2);
    PutBigEndian(&packet[4], timestamp_, 4);
    timestamp_ += length;
    PutBigEndian(&packet[8], ssrc_, 4);
    std::copy_n(payload_.data(), length, &packet[kHeaderSize]);
    const int sent = socket_.IsOpen() ? socket_.SendTo(address_, static_cast<uint16_t>(port_),
                                                       packet.get(), packet_length)
                                      : -1;
    if (sent != static_cast<int>(packet_length)) {
        VendorTrace(0, 0, "RTP sendto error: %u-%d-%d bytes, error %d", length,
                    static_cast<int>(packet_length), sent, socket_.error());
    }
    return ring.Fill() > 0;
}

}  // namespace ruzd::telephony
