#include "boardsim/core/call_event_data.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "telephony/vendorapi/isdn.h"

namespace ruzd::boardsim {
namespace {

constexpr size_t kWords = 2 * sizeof(int32_t);

}  // namespace

std::vector<uint8_t> EncodeCallEvent(const CallEventData& data) {
    const std::vector<uint8_t>* ies =
        data.information_elements ? &*data.information_elements : nullptr;
    const int16_t length = ies != nullptr ? static_cast<int16_t>(ies->size()) : 0;
    std::vector<uint8_t> bytes(kWords + (ies != nullptr ? sizeof length + ies->size() : 0));
    std::memcpy(bytes.data(), &data.crn, sizeof data.crn);
    std::memcpy(bytes.data() + sizeof data.crn, &data.result, sizeof data.result);
    if (ies != nullptr) {
        std::memcpy(bytes.data() + kWords, &length, sizeof length);
        if (!ies->empty())
            std::memcpy(bytes.data() + kWords + sizeof length, ies->data(), ies->size());
    }
    return bytes;
}

std::optional<CallEventData> DecodeCallEvent(const Event& event) {
    if ((event.type & 0xF00) != 0x800 || event.type == CCEV_ALARM || event.data.size() < kWords)
        return std::nullopt;
    std::optional<CallEventData> data(std::in_place);
    std::memcpy(&data->crn, event.data.data(), sizeof data->crn);
    std::memcpy(&data->result, event.data.data() + sizeof data->crn, sizeof data->result);
    int16_t length = 0;
    const size_t start = kWords + sizeof length;
    if (event.data.size() < start)
        return data;
    std::memcpy(&length, event.data.data() + kWords, sizeof length);
    if (length >= 0 && start + static_cast<size_t>(length) <= event.data.size()) {
        const auto begin = event.data.begin() + static_cast<std::ptrdiff_t>(start);
        data->information_elements = std::vector<uint8_t>(begin, begin + length);
    }
    return data;
}

}  // namespace ruzd::boardsim
