#include "node/isdn_call_values.h"

#include <algorithm>

#include "platform/text.h"

namespace ruzd::node {
namespace {

std::string Cut(std::string name) {
    if (name.size() > kMaxDeviceNameLength) {
        name.resize(kMaxDeviceNameLength);
    }
    return name;
}

}  // namespace

std::string TrunkDeviceName(int32_t ldev) {
    if (ldev >= kBoardLineDeviceBase) {
        return Cut(platform::Format("dtiB%i", ldev - kBoardLineDeviceBase));
    }
    // Computed in 64 bits so that no line device number the central server sends overflows.
    const int64_t index = static_cast<int64_t>(ldev) - 1;
    const auto board = static_cast<int>(index / kBChannelsPerTrunk + 1);
    const auto timeSlot = static_cast<int>(index % kBChannelsPerTrunk + 1);
    return Cut(platform::Format("dtiB%iT%i", board, timeSlot));
}

std::string BriDeviceName(int32_t ldev, int32_t station, int32_t timeSlot) {
    if (ldev >= kBoardLineDeviceBase) {
        return Cut(platform::Format("briS%i", station));
    }
    return Cut(platform::Format("briS%iT%i", station, timeSlot));
}

std::optional<CRN> ResolveCrn(CRN received, std::optional<CRN> current) {
    if (received >= 0 && received < kFirstVendorCrn) {
        return current;
    }
    return received;
}

std::string InfoElementHex(const IE_BLK& block) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const int length = std::clamp<int>(block.length, 0, sizeof block.data);
    std::string text;
    text.reserve(static_cast<size_t>(length) * 2);
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<uint8_t>(block.data[i]);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace ruzd::node
