#pragma once

// The Aculab call control (CL_Lib), resource (Res_Lib), switch (SW_Lib) and IP telephony
// (IpTel_Lib) libraries. Every function takes one parameter record and returns 0 on success.
// The records the node fills or reads are laid out here at their library sizes; records the
// node only passes through are opaque.

#include <cstddef>
#include <cstdint>

#include "telephony/vendorapi/prosody.h"

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

// A call event (call_event): asked with handle 0 (any call) and a time-out in milliseconds;
// the call that raised it comes back (0 when none did) with its state, a value some states
// carry and the context number the call was opened with.
struct STATE_XPARMS {
    uint32_t size;
    int32_t handle;
    int32_t state;
    int32_t timeout;
    int32_t value;
    int32_t context;
    uint8_t rfu[8];
};
static_assert(sizeof(STATE_XPARMS) == 32);

// The details of a call (call_details): whether they are valid, and the stream and slot of the
// Prosody channel that carries the call.
struct DETAIL_XPARMS {
    uint32_t size;
    int32_t handle;
    int32_t rfu0;
    int32_t valid;
    int32_t stream;
    int32_t ts;
    uint8_t details[3116];
};
static_assert(sizeof(DETAIL_XPARMS) == 3140);

// A system notification (acu_get_system_notification): its kind (1 card added, 2 card
// removed, 3 and 4 resource manager running or stopped, 5 and 6 IP card registered or
// unregistered) and the serial number of the card it concerns.
struct ACU_SYSTEM_NOTIFICATION_PARMS {
    uint32_t size;
    uint32_t kind;
    char serial_no[92];
};
static_assert(sizeof(ACU_SYSTEM_NOTIFICATION_PARMS) == 100);

// The Prosody IP cards registered with the system (acu_prosody_ip_get_registered_cards),
// laid out as the snapshot.
using ACU_PROSODY_IP_REGISTERED_CARDS_PARMS = ACU_SNAPSHOT_PARMS;

// The state of a Prosody IP card by serial number (acu_prosody_ip_card_status).
struct ACU_PROSODY_IP_CARD_STATUS_PARMS {
    uint32_t size;
    char serial_no[32];
    char state[100];
    uint8_t rfu[520];
};
static_assert(sizeof(ACU_PROSODY_IP_CARD_STATUS_PARMS) == 656);
static_assert(offsetof(ACU_PROSODY_IP_CARD_STATUS_PARMS, state) == 36);

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

// The interface statistics of an IP card (ipt_card_get_if_stats).
struct IPT_IF_STATS_PARMS {
    uint32_t size;
    int32_t card_id;
    uint32_t packets_in;
    uint32_t discards_in;
    uint32_t errors_in;
    uint32_t packets_out;
    uint32_t discards_out;
    uint32_t errors_out;
    uint8_t rfu[52];
};
static_assert(sizeof(IPT_IF_STATS_PARMS) == 84);

// --- Call control on the ports of a card and IP telephony. After its size each record holds
// the fields the node fills, in the order it fills them, then what the library gives back; the
// rest is the library's and passes through the node untouched (from the central server, where
// a command carries the record's bytes).

// Opening a net port of a card (call_open_port): the port id comes back.
struct CALL_OPEN_PORT_PARMS {
    uint32_t size;
    int32_t card_id;
    int32_t port_ix;
    int32_t port_id;
};
static_assert(sizeof(CALL_OPEN_PORT_PARMS) == 16);

// Opening an IP telephony port for a signalling protocol (call_open_iptel_port).
struct CALL_OPEN_IPTEL_PORT_PARMS {
    uint32_t size;
    int32_t protocol;
    int32_t port_id;
};
static_assert(sizeof(CALL_OPEN_IPTEL_PORT_PARMS) == 12);
// The protocol of an IP telephony port and of its defaults: H.323.
constexpr int32_t ACU_IPTEL_PROTOCOL_H323 = 48;

// What the library tells of a port (call_port_info).
struct CALL_PORT_INFO_PARMS {
    uint32_t size;
    int32_t port_id;
    char info[116];
};
static_assert(sizeof(CALL_PORT_INFO_PARMS) == 124);

// A call's asynchronous mode (cnf).
constexpr int32_t ACU_CALL_ASYNC = 0x8000;

// Waiting for an incoming call on a time slot of a port (call_openin). The context is the
// application's own number for the channel, which the call's events carry back.
struct CALL_OPEN_IN_PARMS {
    uint32_t size;
    int32_t net;
    int32_t ts;
    int32_t cnf;
    int32_t context;
    int32_t handle;  // the call's handle
    uint8_t rest[1540];
};
static_assert(sizeof(CALL_OPEN_IN_PARMS) == 1564);

// An outgoing call on a time slot of a port, its media on a channel's VMP contexts
// (call_openout).
struct CALL_OPEN_OUT_PARMS {
    uint32_t size;
    int32_t net;
    int32_t ts;
    int32_t cnf;
    tSMVMPrxId vmprx;
    tSMVMPtxId vmptx;
    int32_t context;
    int32_t handle;  // the call's handle
    uint8_t rest[2552];
};
static_assert(sizeof(CALL_OPEN_OUT_PARMS) == 2592);
static_assert(offsetof(CALL_OPEN_OUT_PARMS, vmprx) == 16);

// Clearing a call (call_disconnect) with a cause.
struct CALL_DISCONNECT_PARMS {
    uint32_t size;
    int32_t handle;
    int32_t cause;
    int32_t raw;
    uint8_t rest[4];
};
static_assert(sizeof(CALL_DISCONNECT_PARMS) == 20);

// Why a call ended (xcall_getcause).
struct CALL_GETCAUSE_PARMS {
    uint32_t size;
    int32_t handle;
    int32_t cause;
    int32_t raw;
    uint8_t rest[192];
};
static_assert(sizeof(CALL_GETCAUSE_PARMS) == 208);

// Ringing and accepting an incoming call whose media runs on a channel's VMP contexts
// (xcall_incoming_ringing, xcall_accept). The call's handle comes with the rest of the record.
#pragma pack(push, 2)
struct XCALL_RINGING_PARMS {
    uint32_t size;
    tSMVMPrxId vmprx;
    tSMVMPtxId vmptx;
    int32_t handle;
    uint8_t rest[770];
};
struct XCALL_ACCEPT_PARMS {
    uint32_t size;
    tSMVMPrxId vmprx;
    tSMVMPtxId vmptx;
    int32_t handle;
    uint8_t rest[1406];
};
#pragma pack(pop)
static_assert(sizeof(XCALL_RINGING_PARMS) == 794);
static_assert(offsetof(XCALL_RINGING_PARMS, handle) == 20);
static_assert(sizeof(XCALL_ACCEPT_PARMS) == 1430);

// How a call's DTMF digits travel (ipt_set_dtmf_handling).
struct IPT_DTMF_HANDLING_PARMS {
    uint32_t size;
    int32_t handle;
    int32_t mode;
    int32_t rfu;
};
static_assert(sizeof(IPT_DTMF_HANDLING_PARMS) == 16);

// An IP card's media defaults (ipt_card_get_media_defaults): the coding of its TDM side.
struct IPT_MEDIA_DEFAULTS_PARMS {
    uint32_t size;
    int32_t card_id;
    int32_t tdm_encoding;
    uint8_t rest[48];
};
static_assert(sizeof(IPT_MEDIA_DEFAULTS_PARMS) == 60);
// The TDM encoding the node's bus needs: A-law.
constexpr int32_t IPT_TDM_ENCODING_ALAW = 2;

// An IP card's defaults of a signalling protocol (ipt_get_protocol_defaults).
struct IPT_PROTOCOL_DEFAULTS_PARMS {
    uint32_t size;
    int32_t protocol;
    int32_t card_id;
    int32_t fast_start;
    uint8_t rest[180];
};
static_assert(sizeof(IPT_PROTOCOL_DEFAULTS_PARMS) == 196);
// The fast-start setting of H.323 calls that the node works with.
constexpr int32_t IPT_FAST_START_NODE_SETTING = 2;

// Timing limit above which an Aculab call-control call is logged.
constexpr uint32_t ACU_SLOW_CALL_MS = 500;
