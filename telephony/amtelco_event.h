#pragma once

// What an Amtelco board's message means to the node: a small event code and, for a connection
// found, the cable digit the board reports.
//
//   -1  not one of the events below
//    0  board successfully opened         ("IA", group 2 type 2)
//    1  connection lost on ring 0         ("EF0...", group 10 type 2 or group 3 type 7)
//    2  connection lost on ring 1         ("EF" then anything but '0')
//    3  connection restored on ring 0     ("ER0...", group 10 type 3 or group 3 type 11)
//    4  connection restored on ring 1     ("ER" then anything but '0')
//    5  connection found on ring 0        ("QMT0" ... 'F' at 12, the digit at 13; group 16 type 0)
//    6  no connection found on ring 0     ("QMT0" ... anything else at 12)
//    7  connection found on ring 1        ("QMT2" ... 'F' at 12, the digit at 13)
//    8  no connection found on ring 1     ("QMT2" ... anything else at 12)

#include <cstdint>
#include <string_view>

namespace ruzd::telephony {

struct AmtelcoEvent {
    int32_t event = -1;
    int32_t extra = -1;  // the cable digit of events 5 and 7
    // False for a message of no known form at all (an answer to an information request that is
    // not understood is known, and still event -1).
    bool known = true;
};

AmtelcoEvent DecodeAmtelcoMessage(uint8_t group, uint8_t type, std::string_view text);

}  // namespace ruzd::telephony
