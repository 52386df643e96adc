#pragma once

// Global Call (libgc): parameter blocks, the meta event, start-up records, the IP virtual
// board and the SIP registration records.

#include <cstddef>
#include <cstdint>

#include "telephony/vendorapi/isdn.h"

// Modes.
constexpr uint32_t GC_SYNC = 0x0000;
constexpr uint32_t GC_ASYNC = 0x8000;

// gc_Start result code that means "already started": not a failure.
constexpr int32_t EGC_ALREADY_STARTED = 148;
// Call-control library id of a Global Call result that has no library behind it.
constexpr int32_t GC_NO_CCLIB = -1;

// Targets of gc_SetConfigData, gc_SetAuthenticationInfo, gc_ReqService and gc_Extension.
constexpr int32_t GCTGT_GCLIB_NETIF = 7;
constexpr int32_t GCTGT_GCLIB_CRN = 8;
constexpr int32_t GCTGT_CCLIB_NETIF = 9;
constexpr int32_t GCTGT_CCLIB_CRN = 10;
// The targets of gc_SetUserInfo and gc_Extension the node names: a line device by its handle,
// a call by its reference.
constexpr int32_t GC_TARGET_LINEDEV = 12;
constexpr int32_t GC_TARGET_CALL = 16;

// Line device state kinds of gc_GetLinedevState.
constexpr int32_t GCGLS_BCHANNEL = 0;
constexpr int32_t GCGLS_DCHANNEL = 1;

// Resource kinds of gc_GetResourceH.
constexpr int32_t GC_NETWORKDEVICE = 1;
constexpr int32_t GC_VOICEDEVICE = 2;
constexpr int32_t GC_MEDIADEVICE = 3;

// Alarm sources and query types.
constexpr uint32_t ALARM_SOURCE_ID_NETWORK_ID = 1;
constexpr uint32_t ALARM_SOURCE_ID_ALL = 0xFFFFFFFF;
constexpr int32_t ALARM_CONFIG_QUERY_ALL = 3;

// States in the call-control library status record.
constexpr int32_t GC_CCLIB_AVAILABLE = 1;
constexpr int32_t GC_CCLIB_CONFIGURED = 2;
constexpr int32_t GC_CCLIB_FAILED = 4;

// A value passed to gc_SetParm.
union GC_PARM {
    int32_t intvalue;
    int32_t longvalue;
    int16_t shortvalue;
    char* paddress;
};

// A parameter block: a length and that many bytes of GC_PARM_DATA entries, packed.
#pragma pack(push, 1)
struct GC_PARM_BLK {
    uint16_t parm_data_size;
    uint8_t parm_data_buf[1];
};
struct GC_PARM_DATA {
    uint16_t set_ID;
    uint16_t parm_ID;
    uint8_t value_size;
    uint8_t value_buf[1];
};
#pragma pack(pop)
using GC_PARM_BLKP = GC_PARM_BLK*;
using GC_PARM_DATAP = GC_PARM_DATA*;
// Bytes in front of a parameter's value inside a block.
constexpr size_t GC_PARM_DATA_HEADER = offsetof(GC_PARM_DATA, value_buf);

// The cursor of gc_util_next_parm_ex.
struct GC_PARM_DATA_EXT {
    uint32_t version;
    void* pInternal;
    uint32_t set_ID;
    uint32_t parm_ID;
    uint32_t data_size;
    void* pData;
};
using GC_PARM_DATA_EXTP = GC_PARM_DATA_EXT*;

// The data of an extension event: the extension id, then a parameter block.
#pragma pack(push, 1)
struct EXTENSIONEVTBLK {
    uint8_t ext_id;
    GC_PARM_BLK parmblk;
};
#pragma pack(pop)

// The current event as Global Call describes it.
struct METAEVENT {
    int32_t magicno;
    uint32_t flags;
    void* evtdatap;
    int32_t evtlen;
    int32_t evtdev;
    int32_t evttype;
    LINEDEV linedev;
    CRN crn;
    void* extevtdatap;
    void* usrattr;
    int32_t cclibid;
    int32_t rfu1;
};
using GC_METAEVENT = METAEVENT;

// A Global Call error or result: Global Call's value and text, then the call-control
// library's id, name, value and text, then free text.
struct GC_INFO {
    int32_t gcValue;
    const char* gcMsg;
    int32_t ccLibId;
    const char* ccLibName;
    int32_t ccValue;
    const char* ccMsg;
    const char* additionalInfo;
};

// Information elements for Global Call: its own part, 8 bytes the node passes on unread, and
// the call-control library's.
struct GCLIB_IE_BLK {
    uint8_t block[8];
};
static_assert(sizeof(GCLIB_IE_BLK) == 8);
struct GC_IE_BLK {
    GCLIB_IE_BLK* gclib;
    IE_BLK* cclib;
};

// Blocks of gc_MakeCall and gc_WaitCall. Global Call's own make-call block is opaque but for
// the destination, a NUL-ended text in its first GCLIB_DESTINATION_SIZE bytes, and the
// extension data it points to: a 16-bit size and that many bytes.
constexpr size_t GCLIB_MAKECALL_OPAQUE_SIZE = 524;
constexpr size_t GCLIB_DESTINATION_SIZE = 128;
struct GCLIB_MAKECALL_BLK {
    uint8_t block[GCLIB_MAKECALL_OPAQUE_SIZE];
    void* ext_datap;
};
struct GC_MAKECALL_BLK {
    GCLIB_MAKECALL_BLK* gclib;
    void* cclib;
};
struct GC_WAITCALL_BLK {
    int32_t flags;
    int32_t rfu;
};

// The call-acknowledge block of gc_CallAck, carried whole as 24 bytes; the node reads the
// type.
struct GC_CALLACK_BLK {
    uint32_t type;
    uint8_t data[20];
};
static_assert(sizeof(GC_CALLACK_BLK) == 24);

// Start-up: the call-control libraries to start, each with its start data.
struct CCLIB_START_STRUCT {
    const char* cclib_name;
    void* cclib_data;
};
struct GC_START_STRUCT {
    int32_t num_cclibs;
    CCLIB_START_STRUCT* cclib_list;
};

// The IP virtual board descriptor, a packed 203-byte record that the IP call-control library
// reads by position. The node fills it by the offsets below.
struct IP_VIRTBOARD {
    uint8_t bytes[203];
};
static_assert(sizeof(IP_VIRTBOARD) == 203);
constexpr size_t IP_VIRTBOARD_VERSION = 0;            // 16 bits
constexpr size_t IP_VIRTBOARD_TOTAL_MAX_CALLS = 2;    // 32 bits
constexpr size_t IP_VIRTBOARD_H323_MAX_CALLS = 6;     // 32 bits
constexpr size_t IP_VIRTBOARD_SIP_MAX_CALLS = 10;     // 32 bits
constexpr size_t IP_VIRTBOARD_LOCALIP = 14;           // 1 byte family, 4 bytes address, 12 bytes 0
constexpr size_t IP_VIRTBOARD_SIP_PORT = 33;          // 16 bits
constexpr size_t IP_VIRTBOARD_SIZE = 39;              // 16 bits
constexpr size_t IP_VIRTBOARD_SIP_MSGINFO_MASK = 41;  // 32 bits
constexpr size_t IP_VIRTBOARD_SIP_TCP_ENABLED = 88;   // 32 bits
constexpr size_t IP_VIRTBOARD_SESSION_TIMERS = 126;   // 32 bits
constexpr size_t IP_VIRTBOARD_SESSION_EXPIRES = 130;  // 32 bits
constexpr size_t IP_VIRTBOARD_MIN_SE = 134;           // 32 bits
constexpr uint16_t IP_VIRTBOARD_VERSION_NODE = 0x10F;
constexpr uint16_t IP_VIRTBOARD_VERSION_INIT = 0x117;
constexpr uint32_t IP_CFG_DEFAULT_ADDRESS = 0xFFFFFFFF;

// Start data of the IP call-control library.
struct IPCCLIB_START_DATA {
    uint16_t version;
    char delimiter;
    uint8_t num_boards;
    IP_VIRTBOARD* board_list;
    uint32_t max_parm_data_size;
    uint32_t rfu;
};
constexpr uint16_t IPCCLIB_START_DATA_VERSION = 0x201;

// The status of every call-control library (gc_CCLibStatusEx "GC_ALL_LIB").
struct GC_CCLIB_STATUS {
    char name[20];
    int32_t state;
};
struct GC_CCLIB_STATUSALL {
    GC_CCLIB_STATUS cclib_state[10];
};
static_assert(sizeof(GC_CCLIB_STATUSALL) == 240);

// The alarm list of gc_GetAlarmConfiguration, sent whole to the central server.
struct ALARM_LIST {
    uint8_t block[388];
};
static_assert(sizeof(ALARM_LIST) == 388);

// SIP registration: the address of record, the domain, the time to live and the hop limit.
struct IP_REGISTER_ADDRESS {
    char reg_client[128];
    char reg_server[64];
    int32_t time_to_live;
    int32_t max_hops;
};
static_assert(sizeof(IP_REGISTER_ADDRESS) == 200);

// SIP authentication data: realm, identity, user name and password texts.
struct IP_AUTHENTICATION {
    uint16_t version;
    uint16_t size;
    char* realm;
    char* identity;
    char* username;
    char* password;
};
constexpr uint16_t IP_AUTHENTICATION_VERSION = 0x100;
constexpr uint16_t IP_AUTHENTICATION_WIRE_SIZE = 20;

// Parameter sets and ids the node inserts into parameter blocks.
constexpr uint16_t GCSET_SERVREQ = 0x1006;
constexpr uint16_t PARM_REQTYPE = 2;
constexpr uint16_t PARM_ACK = 3;
constexpr uint16_t IPSET_LOCAL_ALIAS = 0x3001;
constexpr uint16_t IPSET_CONFIG = 0x300E;
constexpr uint16_t IPSET_REG_INFO = 0x3016;
constexpr uint16_t IPSET_PROTOCOL = 0x3018;
constexpr uint16_t IPSET_MSG_INFO = 0x3017;
constexpr uint16_t IPSET_SIP_CONFIG = 0x3019;
constexpr uint16_t IPPARM_DEFER_PENDING_REINVITE = 0x22;
