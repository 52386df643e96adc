#pragma once

// The digit buffers of the voice channels, by line device number: the vendor library writes the
// collected digits of dx_getdig into the buffer after the call returned, so a buffer has to stay
// where it is until the end of the session frees them all.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "telephony/vendorapi/voice.h"

namespace ruzd::node {

class DigitBuffers {
public:
    // True with the ldev's buffer, or false with null.
    bool Get(int32_t ldev, DV_DIGIT** buffer) const;
    // The ldev's buffer, made (zeroed) on first use. Its address stays valid until FreeAll.
    DV_DIGIT* GetOrCreate(int32_t ldev);
    // Frees every buffer and empties the table.
    void FreeAll();
    size_t Size() const;

private:
    mutable std::recursive_mutex lock_;
    std::map<int32_t, std::unique_ptr<DV_DIGIT>> buffers_;
};

}  // namespace ruzd::node
