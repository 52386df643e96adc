#include "boardsim/core/speech_streams.h"

#include <algorithm>
#include <vector>

#include "boardsim/core/device_catalog.h"
#include "boardsim/core/event_queue.h"

namespace ruzd::boardsim {
namespace {

constexpr double kBytesPerSecond = 8000.0;
// A stream that fell this far behind its time does not race to catch up.
constexpr auto kMostBehind = std::chrono::milliseconds(100);

}  // namespace

SpeechStreams::SpeechStreams(DeviceCatalog& devices, EventQueue& events)
    : devices_(devices), events_(events), thread_([this] { Loop(); }) {}

SpeechStreams::~SpeechStreams() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool SpeechStreams::IsVoiceChannel(int32_t channel) {
    const std::optional<DeviceInfo> device = devices_.Find(channel);
    return device && device->open && device->family == DeviceFamily::kVoice &&
           device->subdevices == 0;
}

int32_t SpeechStreams::Refuse(int32_t channel, int32_t error) {
    devices_.SetLastError(channel, error);
    return -1;
}

int32_t SpeechStreams::SetParameter(int32_t channel, uint32_t parameter, const void* value) {
    if (!IsVoiceChannel(channel))
        return Refuse(channel, EDV_BADDEVICE);
    if (value == nullptr)
        return Refuse(channel, EDV_BADPARM);
    const int32_t number = *static_cast<const int32_t*>(value);
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = channels_[channel];
    switch (parameter) {
        case DXCH_BARGEIN:
            state.bargein = number;
            return 0;
        case ECCH_VADINITIATED:
            state.vad_initiated = number;
            return 0;
        case ECCH_XFERBUFFERSIZE:
            if (number <= 0 || number > 65536)
                break;
            state.transfer_size = number;
            return 0;
        default:
            break;
    }
    return Refuse(channel, EDV_BADPARM);
}

int32_t SpeechStreams::Start(int32_t channel, const DX_XPB* format, EC_STREAM_CALLBACK callback,
                             uint16_t mode) {
    if (!IsVoiceChannel(channel))
        return Refuse(channel, EDV_BADDEVICE);
    // Only the asynchronous stream is simulated: a synchronous one would return at its end.
    if (format == nullptr || callback == nullptr || (mode & EV_ASYNC) == 0)
        return Refuse(channel, EDV_BADPARM);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Channel& state = channels_[channel];
        if (state.streaming)
            return Refuse(channel, EDV_BUSY);
        state.streaming = true;
        state.stopped = false;
        state.callback = callback;
        state.format = *format;
        state.position = 0;
        state.blocks = 0;
        state.due = Clock::now() + Period(state);
        ++changes_;
    }
    wake_.notify_all();
    return 0;
}

int32_t SpeechStreams::Stop(int32_t channel) {
    if (!IsVoiceChannel(channel))
        return Refuse(channel, EDV_BADDEVICE);
    bool ended = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = channels_.find(channel);
        if (found != channels_.end() && found->second.streaming) {
            found->second.streaming = false;
            found->second.stopped = true;
            ended = true;
            ++changes_;
        }
    }
    if (ended) {
        events_.Put(channel, TEC_STREAM, {});
        wake_.notify_all();
    }
    return 0;
}

void SpeechStreams::SetSpeed(double factor) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        speed_ = std::max(factor, 0.001);
        ++changes_;
    }
    wake_.notify_all();
}

void SpeechStreams::Hold(bool hold) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = hold;
        // Running again starts from now, without the blocks the hold kept back.
        for (auto& [channel, state] : channels_)
            state.due = Clock::now() + Period(state);
        ++changes_;
    }
    wake_.notify_all();
}

int64_t SpeechStreams::Step(int32_t channel, int64_t blocks) {
    StepRequest request{channel, blocks};
    std::unique_lock<std::mutex> lock(mutex_);
    steps_.push_back(&request);
    wake_.notify_all();
    stepped_.wait(lock, [&] { return request.done || stopping_; });
    return request.delivered;
}

bool SpeechStreams::SetAudio(int32_t channel, std::optional<MediaSource> audio) {
    if (!IsVoiceChannel(channel))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    channels_[channel].audio = std::move(audio);
    return true;
}

std::optional<std::string> SpeechStreams::Query(int32_t channel) {
    if (!IsVoiceChannel(channel))
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel& state = channels_[channel];
    const char* name = state.streaming ? "streaming" : state.stopped ? "stopped" : "idle";
    return std::string("state=") + name + " blocks=" + std::to_string(state.blocks) +
           " transfer=" + std::to_string(state.transfer_size) +
           " bargein=" + std::to_string(state.bargein) +
           " vad=" + std::to_string(state.vad_initiated) +
           " format=" + std::to_string(state.format.wFileFormat) + "," +
           std::to_string(state.format.wDataFormat) + "," +
           std::to_string(state.format.nSamplesPerSec) + "," +
           std::to_string(state.format.wBitsPerSample);
}

SpeechStreams::Clock::duration SpeechStreams::Period(const Channel& state) const {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(state.transfer_size) / kBytesPerSecond / speed_));
}

bool SpeechStreams::Deliver(std::unique_lock<std::mutex>& lock, int32_t channel) {
    auto found = channels_.find(channel);
    if (found == channels_.end() || !found->second.streaming)
        return false;
    Channel& state = found->second;
    if (!IsVoiceChannel(channel)) {
        state.streaming = false;  // closed under its stream: nothing more to hand over
        return false;
    }
    const uint32_t size = static_cast<uint32_t>(state.transfer_size);
    block_.resize(size);
    for (uint32_t i = 0; i < size; ++i) {
        const uint64_t position = state.position + i;
        block_[i] = static_cast<char>(state.audio ? state.audio->ByteAt(position)
                                                  : static_cast<uint8_t>(position & 0xFF));
    }
    state.position += size;
    const EC_STREAM_CALLBACK callback = state.callback;
    lock.unlock();
    callback(channel, block_.data(), size);
    lock.lock();
    ++channels_[channel].blocks;
    return true;
}

void SpeechStreams::RunStep(std::unique_lock<std::mutex>& lock, StepRequest& request) {
    for (int64_t i = 0; i < request.blocks; ++i) {
        std::vector<int32_t> targets;
        for (const auto& [channel, state] : channels_) {
            if (state.streaming && (request.channel < 0 || request.channel == channel))
                targets.push_back(channel);
        }
        if (targets.empty())
            return;
        for (const int32_t channel : targets) {
            if (Deliver(lock, channel))
                ++request.delivered;
        }
    }
}

void SpeechStreams::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!steps_.empty()) {
            StepRequest* request = steps_.front();
            steps_.pop_front();
            RunStep(lock, *request);
            request->done = true;
            stepped_.notify_all();
            continue;
        }
        const uint64_t seen = changes_;
        const auto woken = [&] { return stopping_ || !steps_.empty() || changes_ != seen; };
        int32_t next = 0;
        const Channel* earliest = nullptr;
        if (!held_) {
            for (const auto& [channel, state] : channels_) {
                if (state.streaming && (earliest == nullptr || state.due < earliest->due)) {
                    earliest = &state;
                    next = channel;
                }
            }
        }
        if (earliest == nullptr) {
            wake_.wait(lock, woken);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (now < earliest->due) {
            wake_.wait_until(lock, earliest->due, woken);
            continue;
        }
        Channel& state = channels_[next];
        state.due += Period(state);
        if (state.due < now - kMostBehind)
            state.due = now;
        Deliver(lock, next);
    }
    stepped_.notify_all();
}

}  // namespace ruzd::boardsim
