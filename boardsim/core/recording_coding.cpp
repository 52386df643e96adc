#include "boardsim/core/recording_coding.h"

#include "boardsim/core/media_codec.h"

namespace ruzd::boardsim {
namespace {

constexpr uint32_t kDefaultRate = 8000;
// Rate codes name the rate divided by this.
constexpr uint32_t kRateCodeUnit = 125;

// WAVE format tags.
constexpr uint16_t kWavePcm = 1;
constexpr uint16_t kWaveAlaw = 6;
constexpr uint16_t kWaveMulaw = 7;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char (&four)[5]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(four[i]));
}

}  // namespace

uint32_t SampleRate(const DX_XPB& format) {
    switch (format.nSamplesPerSec) {
        case 0:
            return kDefaultRate;
        case DRT_6KHZ:
        case DRT_8KHZ:
        case DRT_11KHZ:
            return format.nSamplesPerSec * kRateCodeUnit;
        default:
            return format.nSamplesPerSec;
    }
}

RecordingCoding::RecordingCoding(const DX_XPB* format)
    : tag_(kWaveAlaw), bits_(8), rate_(format == nullptr ? kDefaultRate : SampleRate(*format)) {
    if (format == nullptr)
        return;
    if (format->wDataFormat == DATA_FORMAT_MULAW) {
        tag_ = kWaveMulaw;
    } else if (format->wDataFormat == DATA_FORMAT_PCM) {
        tag_ = kWavePcm;
        bits_ = format->wBitsPerSample == 8 ? 8 : 16;
    }
}

std::vector<uint8_t> RecordingCoding::Encode(const std::vector<uint8_t>& alaw) const {
    if (tag_ == kWaveAlaw)
        return alaw;
    std::vector<uint8_t> out;
    out.reserve(alaw.size() * BytesPerSample());
    for (const uint8_t code : alaw) {
        const int16_t sample = AlawDecode(code);
        if (tag_ == kWaveMulaw) {
            out.push_back(MulawEncode(sample));
        } else if (bits_ == 8) {
            // 8-bit PCM is unsigned; the sample is rounded to its nearest step.
            out.push_back(static_cast<uint8_t>(((sample + 128) >> 8) + 128));
        } else {
            PutLe(out, static_cast<uint16_t>(sample), 2);
        }
    }
    return out;
}

std::vector<uint8_t> RecordingCoding::WaveHeader(uint32_t data_size) const {
    const bool pcm = tag_ == kWavePcm;
    const uint32_t block = bits_ / 8;
    std::vector<uint8_t> format;
    PutLe(format, tag_, 2);
    PutLe(format, 1, 2);  // one channel
    PutLe(format, rate_, 4);
    PutLe(format, rate_ * block, 4);
    PutLe(format, block, 2);
    PutLe(format, bits_, 2);
    if (!pcm)
        PutLe(format, 0, 2);  // no format-specific bytes follow

    std::vector<uint8_t> chunks;
    PutTag(chunks, "fmt ");
    PutLe(chunks, static_cast<uint32_t>(format.size()), 4);
    chunks.insert(chunks.end(), format.begin(), format.end());
    if (!pcm) {
        PutTag(chunks, "fact");
        PutLe(chunks, 4, 4);
        PutLe(chunks, data_size / block, 4);
    }
    PutTag(chunks, "data");
    PutLe(chunks, data_size, 4);

    std::vector<uint8_t> header;
    PutTag(header, "RIFF");
    PutLe(header, static_cast<uint32_t>(4 + chunks.size()) + data_size, 4);
    PutTag(header, "WAVE");
    header.insert(header.end(), chunks.begin(), chunks.end());
    return header;
}

}  // namespace ruzd::boardsim
