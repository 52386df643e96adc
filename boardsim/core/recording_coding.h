#pragma once

// How the simulated boards store what a channel records: the bus carries A-law, which a
// recording keeps or turns into the data format its format block asks for (mu-law, or linear
// PCM of 8 or 16 bits), at the rate the block gives. A data format the boards cannot write
// (Dialogic ADPCM, say) is recorded as A-law; the WAVE header then says A-law, so that the file
// always tells what it holds.

#include <cstdint>
#include <vector>

#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {

// Samples a second of a format block: its rate code or rate, 8000 when it gives none.
uint32_t SampleRate(const DX_XPB& format);

class RecordingCoding {
public:
    // The coding of `format`; A-law at 8000 samples a second without one.
    explicit RecordingCoding(const DX_XPB* format);

    uint32_t rate() const { return rate_; }
    size_t BytesPerSample() const { return bits_ / 8; }
    // Bus samples (A-law) in this coding.
    std::vector<uint8_t> Encode(const std::vector<uint8_t>& alaw) const;
    // The header of a WAVE file whose data is `data_size` bytes in this coding: of one size
    // whatever the data size, so that it can be written first as a placeholder and again at the
    // end. Non-PCM data has the fact chunk with its sample count.
    std::vector<uint8_t> WaveHeader(uint32_t data_size) const;

private:
    uint16_t tag_;  // the WAVE format tag
    uint16_t bits_;
    uint32_t rate_;
};

}  // namespace ruzd::boardsim
