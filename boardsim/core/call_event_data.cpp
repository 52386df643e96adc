#include "boardsim/core/call_event_data.h"

#include <cstring>

#include "telephony/vendorapi/isdn.h"

namespace ruzd::boardsim {
namespace {

constexpr size_t kWords = 2 * sizeof(int32_t);

}  // namespace

std::vector<uint8_t> EncodeCallEvent(const CallEventData& data) {
    std::vector<uint8_t> bytes(kWords);
    std::memcpy(bytes.data(), &data.crn, sizeof data.crn);
    std::memcpy(bytes.data() + sizeof data.crn, &data.result, sizeof data.result);
    if (data.information_elements) {
        const int16_t length = static_cast<int16_t>(data.information_elements->size());
        const auto* length_bytes = reinterpret_cast<const uint8_t*>(&length);
        bytes.insert(bytes.end(), length_bytes, length_bytes + sizeof length);
        bytes.insert(bytes.end(), data.information_elements->begin(),
                     data.information_elements->end());
    }
    return bytes;
}

std::optional<CallEventData> DecodeCallEvent(const Event& event) {
    if ((event.type & 0xF00) != 0x800 || event.type == CCEV_ALARM || event.data.size() < kWords)
        return std::nullopt;
    CallEventData data;
    std::memcpy(&data.crn, event.data.data(), sizeof data.crn);
    std::memcpy(&data.result, event.data.data() + sizeof data.crn, sizeof data.result);
    int16_t length = 0;
    if (event.data.size() >= kWords + sizeof length) {
        std::memcpy(&length, event.data.data() + kWords, sizeof length);
        const size_t start = kWords + sizeof length;
        if (length >= 0 && start + static_cast<size_t>(length) <= event.data.size())
            data.information_elements.emplace(event.data.begin() + start,
                                              event.data.begin() + start + length);
    }
    return data;
}

}  // namespace ruzd::boardsim
