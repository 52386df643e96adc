#include "telephony/csp_audio_stream_source.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/crt_file.h"
#include "telephony/audio_ring_buffer.h"
#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr uint16_t kAsyncMode = 0x8000;
constexpr uint32_t kStopBothDirections = 2;
constexpr uint16_t kVoxWithoutHeader = 1;
constexpr uint16_t kAlaw = 3;
constexpr uint32_t kRate8kHz = 0x40;
constexpr uint16_t kBitsPerSample = 8;
constexpr int32_t kTransferBlockSize = 512;

struct SourceRegistry {
    std::mutex lock;
    std::map<int32_t, CspAudioStreamSource*> sources;
};

SourceRegistry& Registry() {
    // Never destroyed: a socket thread may still reach it while the process runs its exit
    // handlers.
    static auto* const registry = new SourceRegistry();
    return *registry;
}

std::string ErrorText(CHardware& hardware, int32_t channel) {
    return hardware.ATDV_ERRMSGP(channel);
}

}  // namespace

CspAudioStreamSource::CspAudioStreamSource(int32_t channel, AudioRingBuffer* buffer)
    : AudioStream(buffer), channel_(channel) {}

CspAudioStreamSource::~CspAudioStreamSource() {
    Unregister();
}

void CspAudioStreamSource::Unregister() {
    SourceRegistry& registry = Registry();
    std::lock_guard hold(registry.lock);
    const auto entry = registry.sources.find(channel_);
    if (entry != registry.sources.end() && entry->second == this) {
        registry.sources.erase(entry);
    }
}

int32_t CspAudioStreamSource::Open() {
    {
        SourceRegistry& registry = Registry();
        std::lock_guard hold(registry.lock);
        registry.sources[channel_] = this;
    }
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr) {
        return -1;
    }
    struct Setting {
        uint32_t parameter;
        int32_t value;
        const char* failure;
    };
    const Setting settings[] = {
        {DXCH_BARGEIN, 0, "ec_setparm(DXCH_BARGEIN, %d) error: %s\n"},
        {ECCH_VADINITIATED, 0, "ec_setparm(ECCH_VADINITIATED, %d) error: %s\n"},
        {ECCH_XFERBUFFERSIZE, kTransferBlockSize,
         "ec_setparm(ECCH_XFERBUFFERSIZE, %d) error: %s\n"},
    };
    for (const Setting& setting : settings) {
        int32_t value = setting.value;
        if (hardware->ec_setparm(channel_, setting.parameter, &value) == -1) {
            VendorTrace(0, 0, setting.failure, channel_, ErrorText(*hardware, channel_).c_str());
            return -1;
        }
    }
    return 0;
}

int32_t CspAudioStreamSource::Close() {
    return 0;
}

int32_t CspAudioStreamSource::Start() {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr) {
        return -1;
    }
    format_.wFileFormat = kVoxWithoutHeader;
    format_.wDataFormat = kAlaw;
    format_.nSamplesPerSec = kRate8kHz;
    format_.wBitsPerSample = kBitsPerSample;
    if (hardware->ec_stream(channel_, nullptr, &format_, &OnStreamData, kAsyncMode) == -1) {
        VendorTrace(0, 0, "ec_stream(%d) error:%s\n", channel_,
                    ErrorText(*hardware, channel_).c_str());
        return -1;
    }
    return 0;
}

int32_t CspAudioStreamSource::Stop() {
    Unregister();
    CHardware* hardware = PublishedHardware();
    if (channel_ <= 0 || hardware == nullptr) {
        return 0;
    }
    if (hardware->ec_stopch(channel_, kStopBothDirections, kAsyncMode) == -1) {
        VendorTrace(0, 0, "ec_stopch(%d) error: %d\n", channel_, platform::CrtErrno());
        return -1;
    }
    return 0;
}

uint32_t CspAudioStreamSource::csp_write(const void* data, uint32_t length) {
    AudioRingBuffer& ring = *buffer();
    if (ring.FreeSpace() < length) {
        VendorTrace(0, 0, "csp_write(%d) - overflow %u bytes", channel_, length);
        return length;
    }
    return ring.Write(data, length);
}

int32_t CspAudioStreamSource::OnStreamData(int32_t channel, char* data, uint32_t length) {
    SourceRegistry& registry = Registry();
    std::lock_guard hold(registry.lock);
    const auto entry = registry.sources.find(channel);
    if (entry == registry.sources.end()) {
        return 0;
    }
    return static_cast<int32_t>(entry->second->csp_write(data, length));
}

}  // namespace ruzd::telephony
