#pragma once

// The voice the simulated boards carry. A media clock moves every running voice function in
// steps of 20 ms of media time; the speed factor runs media time that many times faster than
// the wall clock, so that tests never wait out a recording; at 0 media time stands still. A voice
// channel transmits on its bus slot what it plays or generates; every other device, and an idle
// channel, transmits its source (silence unless set). A device hears what is sent on the slot it
// listens to.
//
// The caller's transfer lists and memory blocks are read while a function runs, and digit
// buffers are written when the digits come, from the clock's thread, as a board does;
// termination tables, format blocks and tone blocks are copied when the function starts.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {

class DeviceCatalog;
class EventQueue;
class TdmBus;

// What a device transmits when it plays nothing.
struct MediaSource {
    enum class Kind { kSilence, kPattern, kFile };
    Kind kind = Kind::kSilence;
    uint32_t seed = 0;
    std::shared_ptr<const std::vector<uint8_t>> file;  // silence after its end

    uint8_t ByteAt(uint64_t position) const;
};

// The attributes of a channel that ATDX_ functions read.
struct VoiceAttributes {
    int32_t state = CS_IDLE;
    int32_t termmask = 0;
    int32_t trcount = 0;
    int32_t tone_id = 0;
    int32_t buffered_digits = 0;
    int32_t cpterm = 0;
    int32_t conntype = 0;
    int32_t shortlow = 0;
    int32_t longlow = 0;
    int32_t sizehi = 0;
};

class VoiceMedia {
public:
    VoiceMedia(EventQueue& events, DeviceCatalog& devices, TdmBus& bus);
    ~VoiceMedia();
    VoiceMedia(const VoiceMedia&) = delete;
    VoiceMedia& operator=(const VoiceMedia&) = delete;

    // 0 holds media time: running functions stand still until the speed is set again.
    void SetSpeed(double factor);
    // By catalogue name; false for a device that does not exist.
    bool SetSource(const std::string& device, MediaSource source);
    // The outcome of dialling with call progress on a channel ("*": every channel without its
    // own); false for an unknown outcome.
    bool SetCallProgress(const std::string& device, const std::string& outcome);
    void SetUserIo(const DX_UIO& callbacks);
    // Recordings whose voice only the control command `record` brings: the media clock leaves
    // them alone (a test of the application's file writes then writes alone).
    void SetRecordingsByControl(bool by_control);

    // The functions: 0 when started, -1 with the device's last error when refused.
    int32_t Play(int32_t channel, DX_IOTT* list, const DV_TPT* terms, const DX_XPB* format);
    // `start_tone`: the channel sends a short tone before the recording begins.
    int32_t Record(int32_t channel, DX_IOTT* list, const DV_TPT* terms, const DX_XPB* format,
                   const SC_TSINFO* mixed_slots, bool start_tone);
    int32_t GetDigits(int32_t channel, const DV_TPT* terms, DV_DIGIT* digits);
    int32_t Dial(int32_t channel, const char* dial, bool call_progress);
    int32_t PlayTone(int32_t channel, const TN_GEN* tone, const DV_TPT* terms);
    int32_t Stop(int32_t channel);
    // Forgets a recording without an end event (the control command `record` takes it over).
    void Abandon(int32_t channel);
    int32_t ClearDigits(int32_t channel);

    // Tones: the last one built is the one dx_addtone adds.
    void ToneBuilt(uint32_t tone_id);
    int32_t AddTone(int32_t channel);
    int32_t EnableTone(int32_t channel, int32_t tone_id, bool enable);
    int32_t DeleteTones(int32_t channel);

    // From the control socket: digits pressed and tones heard on a channel.
    void Digits(int32_t channel, const std::string& digits);
    // False when the channel has no such tone enabled.
    bool Tone(int32_t channel, int32_t tone_id);

    VoiceAttributes Attributes(int32_t channel);
    std::string QueryVoice(int32_t channel);
    std::string QueryHeard(const std::string& device);

private:
    struct Terminations {
        int64_t max_time_ms = -1;
        int64_t idd_ms = -1;
        int32_t max_digits = -1;
        uint16_t digit_mask = 0;
        int32_t tone = -1;
    };
    enum class Function { kPlay, kRecord, kGetDigits, kDial, kTone };
    struct Running;
    struct Channel;
    struct Heard {
        int32_t slot = -1;
        uint64_t bytes = 0;
        uint32_t crc = 0;
    };
    struct Write;

    static Terminations CopyTerminations(const DV_TPT* terms);
    Channel& ChannelOf(int32_t channel);
    bool Refuse(int32_t channel, int32_t error);
    bool CheckIdle(int32_t channel);
    void End(int32_t channel, Channel& state, int32_t termmask);
    void CheckDigits(int32_t channel, Channel& state);
    std::vector<uint8_t> Transmission(const std::string& device, uint64_t position, size_t size);
    std::vector<uint8_t> NextPlayBytes(Running& running, size_t size, bool* ended);
    void Tick();
    void ClockLoop();

    EventQueue& events_;
    DeviceCatalog& devices_;
    TdmBus& bus_;
    std::mutex mutex_;
    std::condition_variable wake_;
    double speed_ = 1.0;
    uint64_t speed_generation_ = 0;  // counts the speeds set, so that the clock follows at once
    bool stopping_ = false;
    DX_UIO callbacks_{};
    uint32_t last_tone_built_ = 0;
    bool tone_built_ = false;
    bool recordings_by_control_ = false;
    std::map<int32_t, Channel> channels_;
    std::map<std::string, MediaSource> sources_;
    std::map<std::string, std::string> call_progress_;
    std::map<std::string, std::vector<uint8_t>> sent_this_step_;
    std::map<std::string, Heard> heard_;
    std::thread clock_;
};

}  // namespace ruzd::boardsim
