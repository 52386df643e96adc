#pragma once

// A voice channel's incoming audio from continuous speech processing, written into a ring
// buffer: the library hands 512-byte blocks of A-law (the transfer size set at Open) to a
// callback on its own thread. The callback finds the channel's source in a process-wide
// registry and writes under the registry's lock; a source leaves the registry when it is
// stopped or destroyed, so a block that comes late meets no source, never a freed one.

#include <cstdint>

#include "telephony/audio_stream.h"
#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::telephony {

class CspAudioStreamSource : public AudioStream {
public:
    CspAudioStreamSource(int32_t channel, AudioRingBuffer* buffer);
    ~CspAudioStreamSource() override;

    // Registers the source and sets barge-in off, voice-activated transfer off and 512-byte
    // transfer blocks, stopping at the first refusal.
    int32_t Open() override;
    // Does nothing.
    int32_t Close() override;
    // The asynchronous stream of the channel's audio.
    int32_t Start() override;
    // Leaves the registry and stops the channel's stream.
    int32_t Stop() override;

    // One block of the channel: written whole, or dropped whole when it does not fit. Returns
    // the bytes written, or the block's length when it was dropped.
    uint32_t csp_write(const void* data, uint32_t length);

    // The library's callback.
    static int32_t OnStreamData(int32_t channel, char* data, uint32_t length);

private:
    void Unregister();

    const int32_t channel_;
    DX_XPB format_{};
};

}  // namespace ruzd::telephony
