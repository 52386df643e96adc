#pragma once

// The text messages the node sends to the Amtelco boards, built from the central server's
// numbers. Hex digits are upper case.

#include <cstdint>
#include <string>

namespace ruzd::node {

// "XPO" + the 16-bit value as four hex digits + "F" + the digit: the node's identification.
std::string AmtelcoIdentificationText(int32_t value, int32_t digit);
// "QMT" + the number + the 16-bit value as four hex digits: an information request.
std::string AmtelcoInformationRequestText(int32_t number, int32_t value);
// "XC" + eight bytes as two hex digits each: the Amtelco-side bus time slot and the device's
// time slot, each split into stream and slot (128 slots a stream), then the transmit and
// receive positions, each split by 64. Every byte is its value's low 8 bits, so that no value
// ever prints more than two digits.
std::string AmtelcoCrossConnectText(int32_t amtelcoSlot, int32_t deviceSlot, int32_t tx,
                                    int32_t rx);

}  // namespace ruzd::node
