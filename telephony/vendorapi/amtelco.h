#pragma once

// Amtelco XDS boards (XDSlibsc): board messages and identification.

#include <cstdint>

// A message to or from a board: the board number (set by the caller before receiving), the
// message group and type, then a zero-terminated text from byte 13 (from byte 14 when byte 13
// is zero).
struct XDS_MSG {
    uint8_t board;
    uint8_t group;
    uint8_t type;
    uint8_t rfu[10];
    char text[579];
};
static_assert(sizeof(XDS_MSG) == 592);
constexpr int XDS_MSG_TEXT_OFFSET = 13;

// A board's identification: its id text and its version text.
struct XDS_ID {
    char id[20];
    char version[20];
};
static_assert(sizeof(XDS_ID) == 40);

// Results of the receive functions.
constexpr int32_t XDS_OK = 0;
constexpr int32_t XDS_NO_MESSAGE = 1;
