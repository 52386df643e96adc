#pragma once

// The codes of the messages the node sends to the central server: the first value of every frame
// on the command connection that goes from the node to the central server. Codes 7, 16 and 17
// are never written; the central server reads the others by these numbers, so none may change.

#include <cstdint>

namespace ruzd::node {

enum class CentralMessageCode : int32_t {
    kAmtelcoBoardEvent = 0,
    kPingEcho = 1,
    kClientSocketInitialized = 2,
    kStopRequest = 3,
    kVoiceFunctionDone = 4,
    kEndOfPlay = 5,
    kEndOfTone = 6,
    kVoiceOpenResult = 8,
    kFileOpenResult = 9,
    kDigits = 10,
    kInfoElementText = 11,
    kDeviceEvent = 12,
    kEndOfRecord = 13,
    kBChannelState = 14,
    kDChannelState = 15,
    kRingResult = 18,
    kBoardParameterResult = 19,
    kAculabPortInfo = 20,
    kAculabCallEvent = 21,
    kAculabCallCause = 22,
    kCallProgressResult = 23,
    kToneTemplate = 24,
    kVmpReserveResult = 25,
    kRelayDigitResult = 26,
    kAculabIpCardEvent = 27,
    kHookState = 28,
    kAculabSystemEvent = 29,
    kFreeMsiConferenceResources = 30,
    kInitReply = 31,
    kLineDeviceState = 32,
    kFreeDcbConferenceResources = 33,
    kDcbOpenResult = 34,
    kAutoConfiguration = 35,
    kGlobalCallOpenResult = 36,
    kSipRegisterResult = 37,
    kChannelText = 38,
};

}  // namespace ruzd::node
