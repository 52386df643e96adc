#pragma once

// The Aculab call control (CL_Lib), resource (Res_Lib), switch (SW_Lib) and IP telephony
// (IpTel_Lib) libraries. Every function takes one parameter record and returns 0 on success.
// The records the node fills or reads are laid out here at their library sizes; records the
// node only passes through are opaque.

#include <cstddef>
#include <cstdint>

// Capabilities of a card (ACU_CARD_INFO_PARMS::resources_available).
constexpr uint32_t ACU_RESOURCE_CALL = 1;
constexpr uint32_t ACU_RESOURCE_SWITCH = 2;
constexpr uint32_t ACU_RESOURCE_SPEECH = 4;
constexpr uint32_t ACU_RESOURCE_IPTEL = 8;

// Net-port type of a Prosody IP card.
constexpr int32_t ACU_NETPORT_PROSODY_IP = 36;

// The system snapshot: the serial numbers of every card.
struct ACU_SNAPSHOT_PARMS {
    uint32_t size;
    uint32_t count;
    char serial_no[20][30];
};
static_assert(sizeof(ACU_SNAPSHOT_PARMS) == 608);

// Opening a card by its serial number.
struct ACU_OPEN_CARD_PARMS {
    uint32_t size;
    char serial_no[100];
    int32_t card_id;
    uint8_t rfu[8];
};
static_assert(sizeof(ACU_OPEN_CARD_PARMS) == 116);
static_assert(offsetof(ACU_OPEN_CARD_PARMS, card_id) == 104);

// What a card offers.
struct ACU_CARD_INFO_PARMS {
    uint32_t size;
    int32_t card_id;
    uint32_t card_type;
    uint32_t resources_available;
    uint8_t rfu[144];
    char card_info[120];
};
static_assert(sizeof(ACU_CARD_INFO_PARMS) == 280);
static_assert(offsetof(ACU_CARD_INFO_PARMS, resources_available) == 12);
static_assert(offsetof(ACU_CARD_INFO_PARMS, card_info) == 160);

// Opening and closing a card or one of its capabilities (switch, call, IP telephony,
// Prosody) by card id.
struct ACU_CARD_PARMS {
    uint32_t size;
    int32_t card_id;
};
static_assert(sizeof(ACU_CARD_PARMS) == 8);

// The call capability of a card.
struct CALL_CARD_INFO_PARMS {
    uint32_t size;
    int32_t card_id;
    int32_t ports;
    int32_t port_type;
    uint8_t rfu[48];
};
static_assert(sizeof(CALL_CARD_INFO_PARMS) == 64);

// Closing a port.
struct CALL_PORT_PARMS {
    uint32_t size;
    int32_t port_id;
};
static_assert(sizeof(CALL_PORT_PARMS) == 8);

// The state of a call (call_event).
struct STATE_XPARMS {
    int32_t handle;
    int32_t state;
    int32_t timeout;
    uint8_t rfu[20];
};
static_assert(sizeof(STATE_XPARMS) == 32);

// The details of a call (call_details).
struct DETAIL_XPARMS {
    int32_t handle;
    uint8_t details[3136];
};
static_assert(sizeof(DETAIL_XPARMS) == 3140);

// A system notification (acu_get_system_notification).
struct ACU_SYSTEM_NOTIFICATION_PARMS {
    uint32_t size;
    uint8_t notification[96];
};
static_assert(sizeof(ACU_SYSTEM_NOTIFICATION_PARMS) == 100);

// Switch output: where an output time slot takes its input from. Mode 1 sends the pattern,
// mode 2 connects the input.
struct OUTPUT_PARMS {
    uint32_t size;
    int32_t ost;
    int32_t ots;
    int32_t mode;
    int32_t ist;
    int32_t its;
    int32_t pattern;
};
static_assert(sizeof(OUTPUT_PARMS) == 28);
constexpr int32_t PATTERN_MODE = 1;
constexpr int32_t CONNECT_MODE = 2;
constexpr int32_t ALAW_IDLE_PATTERN = 0xD5;

// The bus mode of the switch (sw_mode_switch fills the bits).
struct SWMODE_PARMS {
    uint32_t size;
    uint32_t ct_buses;
};
static_assert(sizeof(SWMODE_PARMS) == 8);
constexpr uint32_t SW_BUS_SCBUS = 0x02;
constexpr uint32_t SW_BUS_H100 = 0x04;
constexpr uint32_t SW_BUS_H110 = 0x20;

// IP telephony card records.
struct IPT_CARD_NOTIFICATION_PARMS {
    uint32_t size;
    int32_t card_id;
    int32_t notification;
};
static_assert(sizeof(IPT_CARD_NOTIFICATION_PARMS) == 12);

struct IPT_CARD_INFO_PARMS {
    uint32_t size;
    int32_t card_id;
    uint8_t info[416];
};
static_assert(sizeof(IPT_CARD_INFO_PARMS) == 424);

struct IPT_IF_STATS_PARMS {
    uint32_t size;
    int32_t card_id;
    uint8_t stats[76];
};
static_assert(sizeof(IPT_IF_STATS_PARMS) == 84);

// Timing limit above which an Aculab call-control call is logged.
constexpr uint32_t ACU_SLOW_CALL_MS = 500;
