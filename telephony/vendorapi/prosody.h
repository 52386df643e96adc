#pragma once

// The Aculab Prosody media library (TiNG): channels, modules, VMP and TDM contexts, data
// feeds and echo cancelling. Its exported names carry the library's signature suffix.

#include <cstdint>

// Handles the library hands out; opaque to the node.
struct tSMChannelId_struct;
struct tSMVMPrxId_struct;
struct tSMVMPtxId_struct;
struct tSMTDMrxId_struct;
struct tSMTDMtxId_struct;
struct tSMEventId_struct;
struct tSMDataFeedId_struct;
using tSMChannelId = tSMChannelId_struct*;
using tSMVMPrxId = tSMVMPrxId_struct*;
using tSMVMPtxId = tSMVMPtxId_struct*;
using tSMTDMrxId = tSMTDMrxId_struct*;
using tSMTDMtxId = tSMTDMtxId_struct*;
using tSMEventId = tSMEventId_struct*;
using tSMDataFeedId = tSMDataFeedId_struct*;
using tSMModuleId = int32_t;

// The trace hook the library exports as data: a level ("TiNGtrace") and the function it
// writes its trace lines through ("TiNG_showtrace").
using TiNG_SHOWTRACE = int (*)(const char* format, ...);
constexpr int TING_TRACE_ON = 3;
constexpr int TING_TRACE_OFF = 0;

// Cards and modules.
struct SM_CARD_INFO_PARMS {
    int32_t card_id;
    int32_t card_type;
    int32_t rfu1;
    int32_t module_count;
    uint8_t rfu2[28];
};
static_assert(sizeof(SM_CARD_INFO_PARMS) == 44);

struct SM_OPEN_MODULE_PARMS {
    int32_t card_id;
    int32_t module_ix;
    tSMModuleId module_id;
};
static_assert(sizeof(SM_OPEN_MODULE_PARMS) == 12);

struct SM_CLOSE_MODULE_PARMS {
    tSMModuleId module_id;
};

// Channels.
constexpr int32_t kSMChannelTypeInput = 0;
constexpr int32_t kSMChannelTypeOutput = 1;

struct SM_CHANNEL_ALLOC_PLACED_PARMS {
    tSMChannelId channel;
    int32_t type;
    tSMModuleId module;
    int32_t rfu;
};

struct SM_SWITCH_CHANNEL_PARMS {
    tSMChannelId channel;
    int32_t st;
    int32_t ts;
    int32_t type;
};

// Echo cancelling.
struct SM_CONDITION_INPUT_PARMS {
    tSMChannelId channel;
    tSMChannelId reference;
    int32_t reference_type;
    int32_t conditioning_type;
    int32_t conditioning_param;
    tSMChannelId alt_data_dest;
    int32_t alt_data_param;
    int32_t alt_dest_type;
};
constexpr int32_t kSMConditionAdjustNonLinear = 0;
constexpr int32_t kSMConditionAdjustAGC = 1;
constexpr int32_t kSMConditionAdjustVariableAGC = 2;

struct SM_CONDITION_ADJUST_PARMS {
    tSMChannelId channel;
    int32_t adjustment;
    int32_t value;
};

struct SM_CONDITION_ADJUST_SPAN_PARMS {
    tSMChannelId channel;
    int32_t span;
};

// VMP and TDM contexts and their data feeds.
struct SM_VMPRX_CREATE_PARMS {
    tSMVMPrxId vmprx;
    tSMModuleId module;
    int32_t rfu;
};
struct SM_VMPTX_CREATE_PARMS {
    tSMVMPtxId vmptx;
    tSMModuleId module;
    int32_t rfu;
};
struct SM_TDMRX_CREATE_PARMS {
    tSMTDMrxId tdmrx;
    tSMModuleId module;
    int32_t stream;
    int32_t timeslot;
    int32_t rfu;
};
struct SM_TDMTX_CREATE_PARMS {
    tSMTDMtxId tdmtx;
    tSMModuleId module;
    int32_t stream;
    int32_t timeslot;
    int32_t rfu;
};
struct SM_VMPRX_DATAFEED_PARMS {
    tSMVMPrxId vmprx;
    tSMDataFeedId datafeed;
};
struct SM_VMPTX_DATAFEED_CONNECT_PARMS {
    tSMVMPtxId vmptx;
    tSMDataFeedId data_source;
};
struct SM_TDMRX_DATAFEED_PARMS {
    tSMTDMrxId tdmrx;
    tSMDataFeedId datafeed;
};
struct SM_TDMTX_DATAFEED_CONNECT_PARMS {
    tSMTDMtxId tdmtx;
    tSMDataFeedId data_source;
};
struct SM_VMPRX_PORTS_PARMS {
    tSMVMPrxId vmprx;
    uint32_t rtp_port;
    uint32_t rtcp_port;
    uint8_t rfu[16];
};

// A socket address as the library lays it out: family, port and address in network order.
struct SM_SOCKADDR {
    uint16_t family;
    uint16_t port;
    uint32_t address;
    uint8_t zero[8];
};
static_assert(sizeof(SM_SOCKADDR) == 16);

struct SM_VMPTX_CONFIG_PARMS {
    tSMVMPtxId vmptx;
    SM_SOCKADDR destination_rtp;
    SM_SOCKADDR source_rtp;
    int32_t rtp_option;
    SM_SOCKADDR destination_rtcp;
    SM_SOCKADDR source_rtcp;
    int32_t rtcp_option;
};

constexpr int32_t kSMCodecTypeAlaw = 0;
constexpr int32_t kSMCodecTypeMulaw = 1;
constexpr int32_t kSMCodecTypeG729 = 2;
constexpr int32_t kSMCodecTypeTelephoneEvent = 3;

struct SM_VMPRX_CODEC_PARMS {
    tSMVMPrxId vmprx;
    int32_t codec;
    int32_t payload_type;
};
struct SM_VMPTX_CODEC_PARMS {
    tSMVMPtxId vmptx;
    int32_t codec;
    int32_t payload_type;
    int32_t vad;
    int32_t ptime;
};
struct SM_VMPRX_TONES_PARMS {
    tSMVMPrxId vmprx;
    int32_t detect;
    int32_t regenerate;
};
struct SM_VMPRX_CONTEXT_PARMS {
    tSMVMPrxId vmprx;
};
struct SM_VMPTX_CONTEXT_PARMS {
    tSMVMPtxId vmptx;
};

// Playing digits on an output channel: a text of at most 32 digits.
constexpr int32_t kSMDigitTypeDtmf = 1;
struct SM_PLAY_DIGITS_PARMS {
    tSMChannelId channel;
    int32_t type;
    char digits[33];
    uint8_t rfu[15];
};
