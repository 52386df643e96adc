#include "telephony/vmp_configuration.h"

#include <bit>
#include <optional>

#include "platform/ipv4_text.h"
#include "telephony/aculab_ip_channel.h"
#include "telephony/vendorapi/prosody.h"

namespace ruzd::telephony {
namespace {

// The encoding name of RFC 4733's telephone events.
constexpr const char* kTelephoneEvent = "telephone-event";
constexpr int32_t kDefaultPacketTimeMs = 10;
constexpr int32_t kDetectTones = 1;

// A port in network byte order, as a socket address holds it.
uint16_t NetworkPort(int32_t port) {
    const auto value = static_cast<uint16_t>(port);
    if constexpr (std::endian::native == std::endian::big) {
        return value;
    }
    return static_cast<uint16_t>((value >> 8) | (value << 8));
}

SM_SOCKADDR SocketAddress(uint32_t address, int32_t port) {
    SM_SOCKADDR socket{};
    socket.port = NetworkPort(port);
    socket.address = address;
    return socket;
}

// A channel with its facade, or none (-1 for the caller).
std::optional<AculabIpChannel> ChannelWithHardware(int32_t ldev) {
    std::optional<AculabIpChannel> channel = FindAculabIpChannel(ldev);
    if (!channel || channel->hardware == nullptr) {
        return std::nullopt;
    }
    return channel;
}

int32_t ConfigureReceiveCodec(const AculabIpChannel& channel, int32_t ldev, int32_t codec,
                              int32_t payload_type, const char* failure) {
    SM_VMPRX_CODEC_PARMS record{};
    record.vmprx = channel.manager->GetVMPrxId(channel.handle);
    record.codec = codec;
    record.payload_type = payload_type;
    const int32_t result = channel.hardware->sm_vmprx_config_codec(&record);
    if (result != 0) {
        IpChannelTrace(ldev, failure, result);
    }
    return result;
}

}  // namespace

int32_t CodecFromPayloadType(int32_t payload_type) {
    switch (payload_type) {
        case 0:
            return kSMCodecTypeMulaw;
        case 8:
            return kSMCodecTypeAlaw;
        case 18:
            return kSMCodecTypeG729;
        default:
            return kSMCodecTypeAlaw;
    }
}

int32_t ConfigureVMPContext(int32_t ldev, const VmpMediaDescription& media) {
    int32_t result = ConfigureVMPTX(ldev, media);
    if (result != 0) {
        IpChannelTrace(ldev, "Failed to configure VMPTX -> %d", result);
        return result;
    }
    result = ConfigureVMPRXCodec(ldev, media);
    if (result != 0) {
        IpChannelTrace(ldev, "Failed to configure VMPRX codec -> %d", result);
        return result;
    }
    result = ConfigureVMPTXCodec(ldev, media);
    if (result != 0) {
        IpChannelTrace(ldev, "Failed to configure VMPTX codec -> %d", result);
        return result;
    }
    result = ConfigureVMPRXTones(ldev);
    if (result != 0) {
        IpChannelTrace(ldev, "Failed to configure VMPRX tones -> %d", result);
    }
    return result;
}

int32_t ConfigureVMPTX(int32_t ldev, const VmpMediaDescription& media) {
    const std::optional<AculabIpChannel> channel = ChannelWithHardware(ldev);
    if (!channel) {
        return -1;
    }
    const uint32_t address = platform::ParseIpv4(media.remote_address);
    SM_VMPTX_CONFIG_PARMS record{};
    record.vmptx = channel->manager->GetVMPtxId(channel->handle);
    record.destination_rtp = SocketAddress(address, media.media_port);
    record.destination_rtcp = SocketAddress(address, media.media_port + 1);
    const int32_t result = channel->hardware->sm_vmptx_config(&record);
    if (result != 0) {
        IpChannelTrace(ldev, "sm_vmptx_config() failed -> %d", result);
    }
    return result;
}

int32_t ConfigureVMPRXCodec(int32_t ldev, const VmpMediaDescription& media) {
    const std::optional<AculabIpChannel> channel = ChannelWithHardware(ldev);
    if (!channel) {
        return -1;
    }
    const int32_t result =
        ConfigureReceiveCodec(*channel, ldev, CodecFromPayloadType(media.payload_type),
                              media.payload_type, "sm_vmprx_config_codec() failed -> %d");
    if (result != 0 || media.second_encoding != kTelephoneEvent) {
        return result;
    }
    return ConfigureReceiveCodec(*channel, ldev, kSMCodecTypeTelephoneEvent,
                                 media.second_payload_type,
                                 "sm_vmprx_config_codec() failed for Telephone event -> %d");
}

int32_t ConfigureVMPTXCodec(int32_t ldev, const VmpMediaDescription& media) {
    const std::optional<AculabIpChannel> channel = ChannelWithHardware(ldev);
    if (!channel) {
        return -1;
    }
    SM_VMPTX_CODEC_PARMS record{};
    record.vmptx = channel->manager->GetVMPtxId(channel->handle);
    record.codec = CodecFromPayloadType(media.payload_type);
    record.payload_type = media.payload_type;
    record.ptime = media.packet_time_ms != 0 ? media.packet_time_ms : kDefaultPacketTimeMs;
    const int32_t result = channel->hardware->sm_vmptx_config_codec(&record);
    if (result != 0) {
        IpChannelTrace(ldev, "sm_vmptx_config_codec() failed -> %d", result);
    }
    return result;
}

int32_t ConfigureVMPRXTones(int32_t ldev) {
    const std::optional<AculabIpChannel> channel = ChannelWithHardware(ldev);
    if (!channel) {
        return -1;
    }
    SM_VMPRX_TONES_PARMS record{};
    record.vmprx = channel->manager->GetVMPrxId(channel->handle);
    record.detect = kDetectTones;
    return channel->hardware->sm_vmprx_config_tones(&record);
}

}  // namespace ruzd::telephony
