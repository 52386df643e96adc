#pragma once

// Recordings of the voice channels. dx_reciottdata starts one with the caller's transfer
// list, which the caller keeps until the recording ends, as the real library requires; the
// control command `record` then makes the channel "hear" voice data: the bytes go into the
// list's files, in pieces, through the user I/O callbacks installed with dx_setuio (through
// the library's own file functions when none are installed), and the recording ends with a
// TDX_RECORD event, as a real board's recording does.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "telephony/vendorapi/vendor_api.h"

namespace ruzd::boardsim {

class EventQueue;

class VoiceRecordings {
public:
    explicit VoiceRecordings(EventQueue& events) : events_(events) {}

    void SetUserIo(const DX_UIO& callbacks);
    // Starts a recording on the channel into the transfer list (any earlier one ends).
    void Start(int32_t channel, DX_IOTT* transfer_list);

    // The voice data: `bytes` bytes, byte n of them being n mod 251, written in pieces of at
    // most `piece` bytes; with a header of `header` bytes, the first file starts with that
    // many zero bytes, which are rewritten with 'H' bytes at the end (seek to the start,
    // write, seek to the end), as a wave header is. A file entry takes at most its length
    // (all that is left when its length is -1). The bytes written (header included), or an
    // error text when the channel records nothing or a callback failed.
    struct Outcome {
        int64_t written = 0;
        std::string error;
    };
    Outcome Record(int32_t channel, int64_t bytes, int64_t piece, int64_t header);

private:
    std::mutex mutex_;
    EventQueue& events_;
    DX_UIO callbacks_{};
    std::map<int32_t, DX_IOTT*> recordings_;
};

}  // namespace ruzd::boardsim
