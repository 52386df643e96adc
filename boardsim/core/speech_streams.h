#pragma once

// Continuous speech processing on the simulated voice channels: ec_stream hands a channel's
// audio to the caller's callback in blocks of the transfer size, on one thread of the library
// (the callback thread), as a board does. Running freely, a stream delivers one block per
// block size / 8000 seconds of media time (the speed factor shortens it); held, blocks come only
// when the control socket steps them. Without other audio set, the bytes count up across
// blocks (byte n is n mod 256), so a receiver can check that nothing was lost or repeated.
//
// ec_stopch ends a stream at once and raises TEC_STREAM on the channel; a block the callback
// thread is already delivering still arrives after it, as from a real library.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "boardsim/core/voice_media.h"
#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {

class DeviceCatalog;
class EventQueue;

class SpeechStreams {
public:
    SpeechStreams(DeviceCatalog& devices, EventQueue& events);
    ~SpeechStreams();
    SpeechStreams(const SpeechStreams&) = delete;
    SpeechStreams& operator=(const SpeechStreams&) = delete;

    // The library's functions: 0, or -1 with the channel's last error.
    int32_t SetParameter(int32_t channel, uint32_t parameter, const void* value);
    int32_t Start(int32_t channel, const DX_XPB* format, EC_STREAM_CALLBACK callback,
                  uint16_t mode);
    int32_t Stop(int32_t channel);

    void SetSpeed(double factor);
    // Held, streams deliver only what Step asks for.
    void Hold(bool hold);
    // Delivers `blocks` blocks to the channel's stream (every stream for -1) on the callback
    // thread; returns once they were delivered, with how many were.
    int64_t Step(int32_t channel, int64_t blocks);
    // What the channel's streams carry from now on: the audio given, or the counting bytes.
    bool SetAudio(int32_t channel, std::optional<MediaSource> audio);
    // "state=idle|streaming|stopped blocks=<n> transfer=<n> bargein=<n> vad=<n> format=<file>,
    // <data>,<rate>,<bits>"; nullopt for a handle that is no voice channel.
    std::optional<std::string> Query(int32_t channel);

private:
    using Clock = std::chrono::steady_clock;
    struct Channel {
        int32_t bargein = 1;
        int32_t vad_initiated = 1;
        int32_t transfer_size = 512;
        std::optional<MediaSource> audio;
        bool streaming = false;
        bool stopped = false;
        EC_STREAM_CALLBACK callback = nullptr;
        DX_XPB format{};
        uint64_t position = 0;
        uint64_t blocks = 0;
        Clock::time_point due;
    };
    struct StepRequest {
        int32_t channel;
        int64_t blocks;
        int64_t delivered = 0;
        bool done = false;
    };

    bool IsVoiceChannel(int32_t channel);
    int32_t Refuse(int32_t channel, int32_t error);
    Clock::duration Period(const Channel& state) const;
    // Delivers one block of the channel's stream, the lock released for the callback; false
    // when the channel streams no more.
    bool Deliver(std::unique_lock<std::mutex>& lock, int32_t channel);
    void RunStep(std::unique_lock<std::mutex>& lock, StepRequest& request);
    void Loop();

    DeviceCatalog& devices_;
    EventQueue& events_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable stepped_;
    std::map<int32_t, Channel> channels_;
    std::deque<StepRequest*> steps_;
    double speed_ = 1.0;
    bool held_ = false;
    bool stopping_ = false;
    uint64_t changes_ = 0;
    std::vector<char> block_;  // the callback thread's
    std::thread thread_;
};

}  // namespace ruzd::boardsim
