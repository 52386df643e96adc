#pragma once

// The values the ISDN call-control commands work out before they call the library: the device
// name of a line device, the call reference a command means, and the information elements as
// the text the central server reads.

#include <cstdint>
#include <optional>
#include <string>

#include "node/port_type.h"
#include "telephony/vendorapi/isdn.h"

namespace ruzd::node {

// B channels of one trunk; line devices 1 to 30 lie on board 1.
inline constexpr int32_t kBChannelsPerTrunk = 30;
// The mode that starts a vendor function asynchronously.
inline constexpr uint32_t kAsyncMode = 0x8000;
// A crn from the central server below this stands for the line device's current call.
inline constexpr CRN kFirstVendorCrn = 500;
// Device names are kept to this many characters.
inline constexpr size_t kMaxDeviceNameLength = 13;
// The longest number a make-call takes, in narrow characters.
inline constexpr size_t kMaxPhoneNumberLength = 49;
// The parameter set after a B channel is opened, and its value.
inline constexpr int32_t kBChannelParameter = 0x789A;
inline constexpr int32_t kBChannelParameterValue = 20;
// The synthetic event of a board that opened, with its event-data word.
inline constexpr int32_t kBoardOpenedEvent = 0x2049;
inline constexpr int32_t kBoardOpenedWord = 1;
// Counts and lengths the central server sends are refused outside this range.
inline constexpr int32_t kMaxWireCount = 65535;

// The time-slot device of a B channel ("dtiB%iT%i") or, from kBoardLineDeviceBase on, its trunk
// board ("dtiB%i").
std::string TrunkDeviceName(int32_t ldev);
// A BRI channel ("briS%iT%i") or, for a board line device, the whole station ("briS%i").
std::string BriDeviceName(int32_t ldev, int32_t station, int32_t timeSlot);

// The crn a command means: a value of 0 to 499 stands for the line device's current call, which
// `current` gives (none when no call is kept); any other value is the vendor's own.
std::optional<CRN> ResolveCrn(CRN received, std::optional<CRN> current);

// The information elements of a block as two upper-case hex digits per byte; a length outside
// 0 to 260 gives no more than the block holds.
std::string InfoElementHex(const IE_BLK& block);

// Whether a block's own length stays inside the block: a library reads that many bytes.
inline bool HasValidLength(const IE_BLK& block) {
    return block.length >= 0 && static_cast<size_t>(block.length) <= sizeof block.data;
}

// A count or length from the wire that may be used: 0 to kMaxWireCount.
inline bool IsWireCount(int32_t value) {
    return value >= 0 && value <= kMaxWireCount;
}

}  // namespace ruzd::node
