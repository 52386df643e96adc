#pragma once

// The RTP streams of voice channels: per channel one ring buffer of three blocks, the channel's
// speech-processing source writing into it and an RTP sender draining it. One process-wide
// table holds them by channel device handle, under one lock taken for each whole operation.

#include <cstdint>
#include <memory>
#include <string>

#include "telephony/audio_ring_buffer.h"
#include "telephony/csp_audio_stream_source.h"
#include "telephony/rtp_audio_stream_target.h"

namespace ruzd::telephony {

class CRTPStreamV2 {
public:
    static constexpr uint32_t kBufferCapacity = 1536;

    // Opens and starts the sender, then the source; their failures are in the log only.
    CRTPStreamV2(int32_t channel, const std::string& address_text, int32_t port);
    // Stops and closes the source, then the sender (whose worker ends here).
    ~CRTPStreamV2();
    CRTPStreamV2(const CRTPStreamV2&) = delete;
    CRTPStreamV2& operator=(const CRTPStreamV2&) = delete;

    // The source's Stop; -1 without a source.
    int32_t StopSource();

private:
    std::unique_ptr<AudioRingBuffer> buffer_;
    std::unique_ptr<CspAudioStreamSource> source_;
    std::unique_ptr<RTPAudioStreamTarget> target_;
};

// False when the channel has a stream already; else creates one and enters it.
bool RTPStreamStart(int32_t channel, const std::string& address_text, int32_t port);
// Stops the source of the channel's stream, which stays; false when there is none.
bool RTPStreamStop(int32_t channel);
// Destroys the channel's stream; false when there is none.
bool RTPStreamRemove(int32_t channel);
void RTPStreamStopAll();
void RTPStreamRemoveAll();
// How many channels have a stream.
size_t RTPStreamCount();

}  // namespace ruzd::telephony
