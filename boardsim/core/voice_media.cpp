#include "boardsim/core/voice_media.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "boardsim/core/device_catalog.h"
#include "boardsim/core/event_queue.h"
#include "boardsim/core/media_codec.h"
#include "boardsim/core/recording_coding.h"
#include "boardsim/core/tdm_bus.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {
namespace {

constexpr int64_t kStepMs = 20;
constexpr int64_t kDialMsPerDigit = 100;
// The tone a recording with the start tone sends before it begins.
constexpr int64_t kStartToneMs = 200;
constexpr uint16_t kStartToneHz = 1000;
constexpr int32_t kDefaultBytesPerSecond = 8000;
constexpr int kMaxListEntries = 1000;
constexpr size_t kDigitBufferLength = sizeof(DV_DIGIT::dg_value) - 1;

// The digit masks of DX_DIGMASK, in the order of this text.
constexpr char kMaskDigits[] = "D1234567890*#ABC";

uint16_t MaskOf(char digit) {
    const char* at = std::strchr(kMaskDigits, std::toupper(static_cast<unsigned char>(digit)));
    return at == nullptr || digit == '\0' ? 0 : static_cast<uint16_t>(1u << (at - kMaskDigits));
}

// The next entry of a transfer list, read as the caller left it: the one linked to, the one
// after a continued entry, none after the last (or after an entry that says neither).
DX_IOTT* NextEntry(DX_IOTT* entry) {
    if ((entry->io_type & IO_EOT) != 0)
        return nullptr;
    if ((entry->io_type & IO_LINK) != 0)
        return entry->io_nextp;
    return (entry->io_type & IO_CONT) != 0 ? entry + 1 : nullptr;
}

int32_t BytesPerSecond(const DX_XPB* format) {
    if (format == nullptr || format->nSamplesPerSec == 0 || format->wBitsPerSample == 0)
        return kDefaultBytesPerSecond;
    return static_cast<int32_t>(SampleRate(*format) * format->wBitsPerSample / 8);
}

// A sine of `frequency` as A-law, `size` bytes from `elapsed_ms` into the tone.
std::vector<uint8_t> ToneBytes(uint16_t frequency, int64_t elapsed_ms, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        const double t = static_cast<double>(elapsed_ms) / 1000.0 + static_cast<double>(i) / 8000.0;
        bytes[i] = AlawEncode(static_cast<int16_t>(8000.0 * std::sin(6.283185307 * frequency * t)));
    }
    return bytes;
}

// Fixed values of ours that a call-progress outcome leaves in the channel's attributes.
struct CallProgressValues {
    const char* outcome;
    int32_t cpterm;
    int32_t conntype;
    int32_t shortlow;
    int32_t longlow;
    int32_t sizehi;
};
constexpr CallProgressValues kCallProgress[] = {
    {"connect", CR_CNCT, 1, 0, 0, 0},          {"busy", CR_BUSY, 0, 50, 50, 50},
    {"noanswer", CR_NOANS, 0, 400, 200, 100},  {"noringback", CR_NORB, 0, 0, 0, 0},
    {"nodialtone", CR_NODIALTONE, 0, 0, 0, 0}, {"fax", CR_FAXTONE, 0, 0, 0, 0},
};

const CallProgressValues* FindCallProgress(const std::string& outcome) {
    for (const CallProgressValues& values : kCallProgress) {
        if (outcome == values.outcome)
            return &values;
    }
    return nullptr;
}

}  // namespace

uint8_t MediaSource::ByteAt(uint64_t position) const {
    switch (kind) {
        case Kind::kPattern: {
            uint64_t x = (static_cast<uint64_t>(seed) << 32) ^ (position * 0x9E3779B97F4A7C15ull);
            x ^= x >> 29;
            x *= 0xBF58476D1CE4E5B9ull;
            x ^= x >> 32;
            return static_cast<uint8_t>(x);
        }
        case Kind::kFile:
            return file && position < file->size() ? (*file)[position] : kAlawSilence;
        case Kind::kSilence:
            break;
    }
    return kAlawSilence;
}

struct VoiceMedia::Running {
    Function function = Function::kPlay;
    Terminations terms;
    int64_t elapsed_ms = 0;
    int64_t since_digit_ms = 0;
    int64_t count = 0;  // bytes played or recorded, digits taken
    // Bytes a step: of the list for a play, of the bus (A-law samples) for a recording.
    size_t bytes_per_step = 160;
    // Play and record: the caller's list, walked while the function runs.
    DX_IOTT* entry = nullptr;
    int64_t entry_done = 0;
    uint32_t crc = 0;
    // Record.
    int64_t start_tone_ms = 0;  // left of the tone sent before the recording begins
    DX_UIO io{};
    bool wave = false;
    RecordingCoding coding{nullptr};
    int32_t first_file = -1;
    std::vector<std::string> mixed;  // the two transmitters heard, for a mixed recording
    bool mixed_mode = false;
    uint64_t heard_position = 0;
    bool failed = false;
    // Get digits.
    DV_DIGIT* digits = nullptr;
    // Dial and tone.
    int64_t left_ms = -1;
    bool call_progress = false;
    TN_GEN tone{};
};

struct VoiceMedia::Channel {
    std::optional<Running> running;
    VoiceAttributes attributes;
    std::string digit_buffer;
    std::set<int32_t> tones;
    std::set<int32_t> enabled_tones;
    int64_t played_bytes = 0;
    uint32_t played_crc = 0;
};

// One write of a recording, done outside the lock: the callbacks are the application's code.
struct VoiceMedia::Write {
    int32_t channel = 0;
    DX_UIO io{};
    int32_t handle = -1;
    std::vector<uint8_t> data;
    bool header_first = false;  // a placeholder header before the data
    bool rewrite_header = false;
    RecordingCoding coding{nullptr};
    uint32_t data_size = 0;
};

VoiceMedia::VoiceMedia(EventQueue& events, DeviceCatalog& devices, TdmBus& bus)
    : events_(events), devices_(devices), bus_(bus), clock_([this] { ClockLoop(); }) {}

VoiceMedia::~VoiceMedia() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    clock_.join();
}

void VoiceMedia::SetSpeed(double factor) {
    std::lock_guard<std::mutex> lock(mutex_);
    speed_ = std::max(factor, 0.0);
    ++speed_generation_;
    wake_.notify_all();
}

bool VoiceMedia::SetSource(const std::string& device, MediaSource source) {
    if (!devices_.Exists(device))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    std::string name = device;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    sources_[name] = std::move(source);
    return true;
}

bool VoiceMedia::SetCallProgress(const std::string& device, const std::string& outcome) {
    if (FindCallProgress(outcome) == nullptr)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    std::string name = device;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    call_progress_[name] = outcome;
    return true;
}

void VoiceMedia::SetUserIo(const DX_UIO& callbacks) {
    std::lock_guard<std::mutex> lock(mutex_);
    callbacks_ = callbacks;
}

void VoiceMedia::SetRecordingsByControl(bool by_control) {
    std::lock_guard<std::mutex> lock(mutex_);
    recordings_by_control_ = by_control;
}

VoiceMedia::Terminations VoiceMedia::CopyTerminations(const DV_TPT* terms) {
    Terminations copy;
    for (int n = 0; terms != nullptr && n < kMaxListEntries; ++n) {
        switch (terms->tp_termno) {
            case DX_MAXDTMF:
                copy.max_digits = terms->tp_length;
                break;
            case DX_MAXTIME:
                copy.max_time_ms = int64_t{terms->tp_length} * 100;
                break;
            case DX_IDDTIME:
                copy.idd_ms = int64_t{terms->tp_length} * 100;
                break;
            case DX_DIGMASK:
                copy.digit_mask = terms->tp_length;
                break;
            case DX_TONE:
                copy.tone = terms->tp_length;
                break;
            default:
                break;
        }
        if ((terms->tp_type & IO_EOT) != 0)
            break;
        if ((terms->tp_type & IO_LINK) != 0)
            terms = terms->tp_nextp;
        else if ((terms->tp_type & IO_CONT) != 0)
            ++terms;
        else
            break;
    }
    return copy;
}

VoiceMedia::Channel& VoiceMedia::ChannelOf(int32_t channel) {
    return channels_[channel];
}

bool VoiceMedia::Refuse(int32_t channel, int32_t error) {
    devices_.SetLastError(channel, error);
    return false;
}

// An open voice channel (not a board) that runs nothing; else the reason is its last error.
bool VoiceMedia::CheckIdle(int32_t channel) {
    const std::optional<DeviceInfo> device = devices_.Find(channel);
    if (!device || !device->open || device->family != DeviceFamily::kVoice ||
        device->subdevices != 0)
        return Refuse(channel, EDV_BADDEVICE);
    if (ChannelOf(channel).running)
        return Refuse(channel, EDV_BUSY);
    return true;
}

void VoiceMedia::End(int32_t channel, Channel& state, int32_t termmask) {
    Running& running = *state.running;
    VoiceAttributes& attributes = state.attributes;
    attributes.termmask = termmask;
    attributes.trcount = static_cast<int32_t>(running.count);
    attributes.state = CS_IDLE;
    int32_t event = TDX_PLAY;
    switch (running.function) {
        case Function::kPlay:
            state.played_bytes = running.count;
            state.played_crc = running.crc;
            break;
        case Function::kRecord:
            event = running.failed ? TDX_ERROR : TDX_RECORD;
            break;
        case Function::kGetDigits: {
            event = TDX_GETDIG;
            // Digits taken by the terminations the function met; the rest stay buffered.
            size_t take = state.digit_buffer.size();
            if (termmask == TM_MAXDTMF)
                take = std::min(take, static_cast<size_t>(running.terms.max_digits));
            if (termmask == TM_DIGIT) {
                for (size_t i = 0; i < state.digit_buffer.size(); ++i) {
                    if ((MaskOf(state.digit_buffer[i]) & running.terms.digit_mask) != 0) {
                        take = i + 1;
                        break;
                    }
                }
            }
            take = std::min(take, kDigitBufferLength);
            if (running.digits != nullptr) {
                std::memset(running.digits, 0, sizeof(DV_DIGIT));
                std::memcpy(running.digits->dg_value, state.digit_buffer.data(), take);
            }
            state.digit_buffer.erase(0, take);
            attributes.trcount = static_cast<int32_t>(take);
            break;
        }
        case Function::kDial:
            event = TDX_DIAL;
            if (running.call_progress) {
                event = TDX_CALLP;
                if (termmask == TM_USRSTOP)
                    attributes.cpterm = CR_STOPD;
            }
            break;
        case Function::kTone:
            event = TDX_PLAYTONE;
            break;
    }
    attributes.buffered_digits = static_cast<int32_t>(state.digit_buffer.size());
    state.running.reset();
    events_.Put(channel, event, {});
}

int32_t VoiceMedia::Play(int32_t channel, DX_IOTT* list, const DV_TPT* terms,
                         const DX_XPB* format) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CheckIdle(channel))
        return -1;
    if (list == nullptr)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    Running running;
    running.function = Function::kPlay;
    running.terms = CopyTerminations(terms);
    running.bytes_per_step = static_cast<size_t>(BytesPerSecond(format) * kStepMs / 1000);
    running.entry = list;
    Channel& state = ChannelOf(channel);
    state.running = running;
    state.attributes.state = CS_PLAY;
    CheckDigits(channel, state);
    return 0;
}

int32_t VoiceMedia::Record(int32_t channel, DX_IOTT* list, const DV_TPT* terms,
                           const DX_XPB* format, const SC_TSINFO* mixed_slots, bool start_tone) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CheckIdle(channel))
        return -1;
    Running running;
    running.function = Function::kRecord;
    running.terms = CopyTerminations(terms);
    running.coding = RecordingCoding(format);
    // Bus samples: each becomes one sample of the recording's coding.
    running.bytes_per_step = static_cast<size_t>(running.coding.rate() * kStepMs / 1000);
    running.wave = format != nullptr && format->wFileFormat == FILE_FORMAT_WAVE;
    running.start_tone_ms = start_tone ? kStartToneMs : 0;
    // The file entries only; a recording has nowhere to go in memory.
    running.entry = list;
    while (running.entry != nullptr && (running.entry->io_type & IO_MEM) != 0)
        running.entry = NextEntry(running.entry);
    if (running.entry == nullptr)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    running.first_file = running.entry->io_fhandle;
    if (mixed_slots != nullptr) {
        if (mixed_slots->sc_numts != 2 || mixed_slots->sc_tsarrayp == nullptr)
            return Refuse(channel, EDV_BADPARM) ? 0 : -1;
        running.mixed_mode = true;
        for (int i = 0; i < 2; ++i)
            running.mixed.push_back(bus_.TransmitterOf(mixed_slots->sc_tsarrayp[i]).value_or(""));
        running.io = DX_UIO{nullptr, nullptr, nullptr};
    } else if (recordings_by_control_) {
        return 0;
    } else {
        running.io = callbacks_;
    }
    Channel& state = ChannelOf(channel);
    state.running = running;
    state.attributes.state = CS_RECD;
    return 0;
}

void VoiceMedia::Abandon(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    if (state.running && state.running->function == Function::kRecord) {
        state.running.reset();
        state.attributes.state = CS_IDLE;
    }
}

int32_t VoiceMedia::GetDigits(int32_t channel, const DV_TPT* terms, DV_DIGIT* digits) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CheckIdle(channel))
        return -1;
    if (digits == nullptr)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    Running running;
    running.function = Function::kGetDigits;
    running.terms = CopyTerminations(terms);
    running.digits = digits;
    Channel& state = ChannelOf(channel);
    state.running = running;
    state.attributes.state = CS_GTDIG;
    CheckDigits(channel, state);
    return 0;
}

int32_t VoiceMedia::Dial(int32_t channel, const char* dial, bool call_progress) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CheckIdle(channel))
        return -1;
    if (dial == nullptr)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    Running running;
    running.function = Function::kDial;
    running.left_ms = static_cast<int64_t>(std::strlen(dial)) * kDialMsPerDigit;
    running.call_progress = call_progress;
    Channel& state = ChannelOf(channel);
    state.running = running;
    state.attributes.state = CS_DIAL;
    if (call_progress) {
        const std::string name = devices_.Find(channel)->device;
        const auto own = call_progress_.find(name);
        const auto every = call_progress_.find("*");
        const std::string outcome = own != call_progress_.end()     ? own->second
                                    : every != call_progress_.end() ? every->second
                                                                    : "connect";
        const CallProgressValues& values = *FindCallProgress(outcome);
        state.attributes.cpterm = values.cpterm;
        state.attributes.conntype = values.conntype;
        state.attributes.shortlow = values.shortlow;
        state.attributes.longlow = values.longlow;
        state.attributes.sizehi = values.sizehi;
    }
    return 0;
}

int32_t VoiceMedia::PlayTone(int32_t channel, const TN_GEN* tone, const DV_TPT* terms) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!CheckIdle(channel))
        return -1;
    if (tone == nullptr)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    Running running;
    running.function = Function::kTone;
    running.terms = CopyTerminations(terms);
    running.tone = *tone;
    running.left_ms = tone->tg_dur < 0 ? -1 : int64_t{tone->tg_dur} * 10;
    Channel& state = ChannelOf(channel);
    state.running = running;
    state.attributes.state = CS_TONE;
    CheckDigits(channel, state);
    return 0;
}

int32_t VoiceMedia::Stop(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    if (state.running)
        End(channel, state, TM_USRSTOP);
    return 0;
}

int32_t VoiceMedia::ClearDigits(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    state.digit_buffer.clear();
    state.attributes.buffered_digits = 0;
    return 0;
}

void VoiceMedia::ToneBuilt(uint32_t tone_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    last_tone_built_ = tone_id;
    tone_built_ = true;
}

int32_t VoiceMedia::AddTone(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!devices_.Find(channel) || !tone_built_)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    Channel& state = ChannelOf(channel);
    state.tones.insert(static_cast<int32_t>(last_tone_built_));
    state.enabled_tones.insert(static_cast<int32_t>(last_tone_built_));
    return 0;
}

int32_t VoiceMedia::EnableTone(int32_t channel, int32_t tone_id, bool enable) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    if (state.tones.count(tone_id) == 0)
        return Refuse(channel, EDV_BADPARM) ? 0 : -1;
    if (enable)
        state.enabled_tones.insert(tone_id);
    else
        state.enabled_tones.erase(tone_id);
    return 0;
}

int32_t VoiceMedia::DeleteTones(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    state.tones.clear();
    state.enabled_tones.clear();
    return 0;
}

// Ends a function that terminates on the digits buffered so far.
void VoiceMedia::CheckDigits(int32_t channel, Channel& state) {
    if (!state.running)
        return;
    const Terminations& terms = state.running->terms;
    if (terms.max_digits > 0 &&
        state.digit_buffer.size() >= static_cast<size_t>(terms.max_digits)) {
        End(channel, state, TM_MAXDTMF);
        return;
    }
    for (char digit : state.digit_buffer) {
        if ((MaskOf(digit) & terms.digit_mask) != 0) {
            End(channel, state, TM_DIGIT);
            return;
        }
    }
}

void VoiceMedia::Digits(int32_t channel, const std::string& digits) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    state.digit_buffer += digits;
    if (state.digit_buffer.size() > kDigitBufferLength)
        state.digit_buffer.erase(0, state.digit_buffer.size() - kDigitBufferLength);
    state.attributes.buffered_digits = static_cast<int32_t>(state.digit_buffer.size());
    if (state.running) {
        state.running->since_digit_ms = 0;
        CheckDigits(channel, state);
    }
}

bool VoiceMedia::Tone(int32_t channel, int32_t tone_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Channel& state = ChannelOf(channel);
    if (state.enabled_tones.count(tone_id) == 0)
        return false;
    const DX_CST cst{DE_TONEON, static_cast<uint16_t>(tone_id)};
    std::vector<uint8_t> data(sizeof(cst));
    std::memcpy(data.data(), &cst, sizeof(cst));
    events_.Put(channel, TDX_CST, std::move(data));
    if (state.running && state.running->terms.tone == tone_id) {
        state.attributes.tone_id = tone_id;
        End(channel, state, TM_TONE);
    }
    return true;
}

VoiceAttributes VoiceMedia::Attributes(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ChannelOf(channel).attributes;
}

std::string VoiceMedia::QueryVoice(int32_t channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel& state = ChannelOf(channel);
    return "state=" + std::to_string(state.attributes.state) +
           " termmask=" + std::to_string(state.attributes.termmask) +
           " trcount=" + std::to_string(state.attributes.trcount) +
           " played=" + std::to_string(state.played_bytes) + ":" + std::to_string(state.played_crc);
}

std::string VoiceMedia::QueryHeard(const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Heard heard = heard_.count(device) != 0 ? heard_[device] : Heard{};
    return "bytes=" + std::to_string(heard.bytes) + " crc=" + std::to_string(heard.crc);
}

// What a device sends in this step, as a listener at `position` of its source hears it: a
// playing or tone-generating channel its own voice, anyone else its source.
std::vector<uint8_t> VoiceMedia::Transmission(const std::string& device, uint64_t position,
                                              size_t size) {
    const auto sent = sent_this_step_.find(device);
    if (sent != sent_this_step_.end()) {
        std::vector<uint8_t> bytes = sent->second;
        bytes.resize(size, kAlawSilence);
        return bytes;
    }
    std::vector<uint8_t> bytes(size, kAlawSilence);
    const auto source = sources_.find(device);
    if (source != sources_.end()) {
        for (size_t i = 0; i < size; ++i)
            bytes[i] = source->second.ByteAt(position + i);
    }
    return bytes;
}

std::vector<uint8_t> VoiceMedia::NextPlayBytes(Running& running, size_t size, bool* ended) {
    std::vector<uint8_t> bytes;
    int guard = 0;
    while (bytes.size() < size && running.entry != nullptr && ++guard < kMaxListEntries) {
        DX_IOTT& entry = *running.entry;
        const size_t want = size - bytes.size();
        size_t got = 0;
        std::vector<uint8_t> piece(want);
        const int64_t left = entry.io_length < 0 ? INT64_MAX : entry.io_length - running.entry_done;
        const size_t ask = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(want)));
        if ((entry.io_type & IO_MEM) != 0) {
            if (entry.io_bufp != nullptr && entry.io_length > 0) {
                std::memcpy(piece.data(), entry.io_bufp + running.entry_done, ask);
                got = ask;
            }
        } else if (ask > 0) {
            const int32_t read =
                VoiceFileReadAt(entry.io_fhandle, int64_t{entry.io_offset} + running.entry_done,
                                piece.data(), static_cast<uint32_t>(ask));
            got = read > 0 ? static_cast<size_t>(read) : 0;
        }
        bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(got));
        running.entry_done += static_cast<int64_t>(got);
        if (got < want) {
            running.entry = NextEntry(running.entry);
            running.entry_done = 0;
        }
    }
    *ended = running.entry == nullptr || guard >= kMaxListEntries;
    return bytes;
}

void VoiceMedia::Tick() {
    std::vector<Write> writes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (speed_ <= 0)
            return;  // held since the clock woke
        sent_this_step_.clear();
        std::vector<int32_t> played_out;
        // What the channels send: played voice and generated tones.
        for (auto& [handle, state] : channels_) {
            if (!state.running)
                continue;
            Running& running = *state.running;
            const std::optional<DeviceInfo> device = devices_.Find(handle);
            const std::string name = device ? device->device : "";
            if (running.function == Function::kPlay) {
                bool ended = false;
                std::vector<uint8_t> bytes = NextPlayBytes(running, running.bytes_per_step, &ended);
                running.crc = Crc32(running.crc, bytes.data(), bytes.size());
                running.count += static_cast<int64_t>(bytes.size());
                sent_this_step_[name] = std::move(bytes);
                if (ended)
                    played_out.push_back(handle);
            } else if (running.function == Function::kTone) {
                sent_this_step_[name] =
                    ToneBytes(running.tone.tg_freq1, running.elapsed_ms, running.bytes_per_step);
            } else if (running.function == Function::kRecord && running.start_tone_ms > 0) {
                sent_this_step_[name] = ToneBytes(
                    kStartToneHz, kStartToneMs - running.start_tone_ms, running.bytes_per_step);
            }
        }
        // What every listening device hears.
        for (const auto& [listener, slot] : bus_.Listeners()) {
            Heard& heard = heard_[listener];
            if (heard.slot != slot)
                heard = Heard{slot, 0, 0};
            const std::string transmitter = bus_.TransmitterOf(slot).value_or("");
            // A played voice counts byte for byte, without the silence that pads its last
            // step, and the silence of a device that sends nothing of its own not at all, so
            // that what a listener heard is exactly the voice played to it.
            const auto sent = sent_this_step_.find(transmitter);
            if (sent == sent_this_step_.end() && sources_.count(transmitter) == 0)
                continue;
            const std::vector<uint8_t> bytes = sent != sent_this_step_.end()
                                                   ? sent->second
                                                   : Transmission(transmitter, heard.bytes, 160);
            heard.crc = Crc32(heard.crc, bytes.data(), bytes.size());
            heard.bytes += bytes.size();
        }
        for (auto& [handle, state] : channels_) {
            if (!state.running)
                continue;
            Running& running = *state.running;
            if (running.function == Function::kRecord && running.start_tone_ms > 0) {
                running.start_tone_ms -= kStepMs;  // the recording's time begins after the tone
                continue;
            }
            running.elapsed_ms += kStepMs;
            running.since_digit_ms += kStepMs;
            if (running.function == Function::kRecord) {
                const std::string name = devices_.Find(handle)->device;
                std::vector<uint8_t> bytes;
                const size_t size = running.bytes_per_step;
                if (running.mixed_mode) {
                    const std::vector<uint8_t> first =
                        Transmission(running.mixed[0], running.heard_position, size);
                    const std::vector<uint8_t> second =
                        Transmission(running.mixed[1], running.heard_position, size);
                    for (size_t i = 0; i < size; ++i)
                        bytes.push_back(AlawMix(first[i], second[i]));
                } else {
                    const std::optional<int32_t> slot = bus_.Listening(name);
                    const std::string from = slot ? bus_.TransmitterOf(*slot).value_or("") : name;
                    bytes = Transmission(from, running.heard_position, size);
                }
                running.heard_position += size;
                bytes = running.coding.Encode(bytes);
                // Into the list's files in turn, each taking at most its length.
                Write write;
                write.channel = handle;
                write.io = running.io;
                write.coding = running.coding;
                write.header_first = running.wave && running.count == 0 &&
                                     running.entry->io_fhandle == running.first_file &&
                                     running.entry_done == 0;
                const int64_t left = running.entry->io_length < 0
                                         ? INT64_MAX
                                         : running.entry->io_length - running.entry_done;
                const size_t take = static_cast<size_t>(
                    std::min<int64_t>(left, static_cast<int64_t>(bytes.size())));
                bytes.resize(take);
                write.handle = running.entry->io_fhandle;
                write.data = std::move(bytes);
                running.entry_done += static_cast<int64_t>(take);
                running.count += static_cast<int64_t>(take);
                if (running.entry->io_length >= 0 &&
                    running.entry_done >= running.entry->io_length) {
                    running.entry = NextEntry(running.entry);
                    while (running.entry != nullptr && (running.entry->io_type & IO_MEM) != 0)
                        running.entry = NextEntry(running.entry);
                    running.entry_done = 0;
                }
                writes.push_back(std::move(write));
            }
        }
        // Terminations by time and by the end of what there is to do.
        for (auto& [handle, state] : channels_) {
            if (!state.running)
                continue;
            Running& running = *state.running;
            const bool out_of_data =
                std::find(played_out.begin(), played_out.end(), handle) != played_out.end() ||
                (running.function == Function::kRecord && running.entry == nullptr);
            int32_t termmask = -1;
            if (out_of_data)
                termmask = TM_EOD;
            else if (running.terms.max_time_ms >= 0 &&
                     running.elapsed_ms >= running.terms.max_time_ms)
                termmask = TM_MAXTIME;
            else if (running.terms.idd_ms >= 0 && running.since_digit_ms >= running.terms.idd_ms)
                termmask = TM_IDDTIME;
            else if ((running.function == Function::kDial || running.function == Function::kTone) &&
                     running.left_ms >= 0 && running.elapsed_ms >= running.left_ms)
                termmask = running.function == Function::kTone ? TM_MAXTIME : TM_NORMTERM;
            if (termmask < 0)
                continue;
            if (running.function == Function::kRecord && !writes.empty()) {
                // The end comes after the last write, with the wave header rewritten.
                for (Write& write : writes) {
                    if (write.channel == handle) {
                        write.rewrite_header = running.wave;
                        write.data_size = static_cast<uint32_t>(running.count);
                    }
                }
                running.left_ms = termmask;  // the mask, kept until the writes are done
                continue;
            }
            End(handle, state, termmask);
        }
    }
    for (Write& write : writes) {
        const bool own = write.io.u_write == nullptr;
        const auto put = [&](int32_t handle, std::vector<uint8_t> data) {
            if (data.empty() || (own && !IsWritableFileHandle(handle)))
                return true;  // a handle that names no file to write is left alone
            const int32_t count = static_cast<int32_t>(data.size());
            return (own ? VoiceFileWrite(handle, data.data(), static_cast<uint32_t>(count))
                        : write.io.u_write(handle, reinterpret_cast<char*>(data.data()),
                                           static_cast<uint32_t>(count))) == count;
        };
        const auto seek = [&](int32_t handle, int32_t offset, int32_t origin) {
            if (own && !IsWritableFileHandle(handle))
                return 0;
            return own ? VoiceFileSeek(handle, offset, origin)
                       : write.io.u_seek(handle, offset, origin);
        };
        bool ok = true;
        int32_t first_file = write.handle;
        if (write.header_first) {
            // A placeholder of the header's size until the data size is known.
            std::vector<uint8_t> placeholder = write.coding.WaveHeader(0);
            std::fill(placeholder.begin(), placeholder.end(), uint8_t{0});
            ok = put(write.handle, std::move(placeholder));
        }
        ok = ok && put(write.handle, std::move(write.data));
        std::lock_guard<std::mutex> lock(mutex_);
        Channel& state = ChannelOf(write.channel);
        if (!state.running || state.running->function != Function::kRecord)
            continue;
        first_file = state.running->first_file;
        if (ok && write.rewrite_header) {
            ok = seek(first_file, 0, SEEK_SET) == 0 &&
                 put(first_file, write.coding.WaveHeader(write.data_size)) &&
                 seek(first_file, 0, SEEK_END) >= 0;
        }
        if (!ok) {
            state.running->failed = true;
            End(write.channel, state, TM_ERROR);
        } else if (state.running->left_ms >= 0) {
            End(write.channel, state, static_cast<int32_t>(state.running->left_ms));
        }
    }
}

void VoiceMedia::ClockLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    auto next = std::chrono::steady_clock::now();
    uint64_t generation = speed_generation_;
    const auto speed_changed = [&] { return stopping_ || speed_generation_ != generation; };
    while (!stopping_) {
        bool changed = false;
        if (speed_ <= 0) {
            wake_.wait(lock, speed_changed);  // media time stands still
            changed = true;
        } else {
            const auto step = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double, std::milli>(kStepMs / speed_));
            next += step;
            const auto now = std::chrono::steady_clock::now();
            if (next < now - std::chrono::milliseconds(100))
                next = now;  // a clock that fell behind does not race to catch up
            changed = wake_.wait_until(lock, next, speed_changed);
        }
        if (stopping_)
            break;
        if (changed) {
            // A new speed counts from now.
            generation = speed_generation_;
            next = std::chrono::steady_clock::now();
            continue;
        }
        lock.unlock();
        Tick();
        lock.lock();
    }
}

}  // namespace ruzd::boardsim
