#pragma once

// The native ISDN call-control functions (cc_ of libdtimt): line devices, call references,
// their events, call states and causes.

#include <cstdint>

// A line device handle and a call reference number.
using LINEDEV = int32_t;
using CRN = int32_t;

// Call-control events. Global Call reports its events under the same codes.
constexpr int32_t CCEV_TASKFAIL = 0x801;
constexpr int32_t CCEV_ANSWERED = 0x802;
constexpr int32_t CCEV_ACCEPT = 0x804;
constexpr int32_t CCEV_DROPCALL = 0x805;
constexpr int32_t CCEV_RESTART = 0x806;
constexpr int32_t CCEV_CALLINFO = 0x807;
constexpr int32_t CCEV_REQANI = 0x808;
constexpr int32_t CCEV_SETCHANSTATE = 0x809;
constexpr int32_t CCEV_FACILITY_ACK = 0x80A;
constexpr int32_t CCEV_FACILITY_REJ = 0x80B;
constexpr int32_t CCEV_MOREDIGITS = 0x80C;
constexpr int32_t CCEV_SETBILLING = 0x80E;
constexpr int32_t CCEV_ATTACH = 0x80F;
constexpr int32_t CCEV_ATTACH_FAIL = 0x810;
constexpr int32_t CCEV_DETACH = 0x811;
constexpr int32_t CCEV_DETACH_FAIL = 0x812;
constexpr int32_t CCEV_MEDIA_REQ = 0x813;
constexpr int32_t CCEV_STOPMEDIA_REQ = 0x814;
constexpr int32_t CCEV_MEDIA_ACCEPT = 0x815;
constexpr int32_t CCEV_MEDIA_REJ = 0x816;
constexpr int32_t CCEV_OPENEX = 0x817;
constexpr int32_t CCEV_OPENEX_FAIL = 0x818;
constexpr int32_t CCEV_TRACEDATA = 0x819;
constexpr int32_t CCEV_ALERTING = 0x821;
constexpr int32_t CCEV_CONNECTED = 0x822;
constexpr int32_t CCEV_ERROR = 0x823;
constexpr int32_t CCEV_OFFERED = 0x824;
constexpr int32_t CCEV_DISCONNECTED = 0x826;
constexpr int32_t CCEV_PROCEEDING = 0x827;
constexpr int32_t CCEV_PROGRESSING = 0x828;
constexpr int32_t CCEV_USRINFO = 0x829;
constexpr int32_t CCEV_FACILITY = 0x82A;
constexpr int32_t CCEV_CONGESTION = 0x82B;
constexpr int32_t CCEV_D_CHAN_STATUS = 0x82E;
constexpr int32_t CCEV_NOUSRINFOBUF = 0x830;
constexpr int32_t CCEV_NOFACILITYBUF = 0x831;
constexpr int32_t CCEV_BLOCKED = 0x832;
constexpr int32_t CCEV_UNBLOCKED = 0x833;
constexpr int32_t CCEV_ISDNMSG = 0x834;
constexpr int32_t CCEV_NOTIFY = 0x835;
constexpr int32_t CCEV_L2FRAME = 0x836;
constexpr int32_t CCEV_L2BFFRFULL = 0x837;
constexpr int32_t CCEV_L2NOBFFR = 0x838;
constexpr int32_t CCEV_SETUP_ACK = 0x839;
constexpr int32_t CCEV_DIVERTED = 0x840;
constexpr int32_t CCEV_HOLDACK = 0x841;
constexpr int32_t CCEV_HOLDCALL = 0x842;
constexpr int32_t CCEV_HOLDREJ = 0x843;
constexpr int32_t CCEV_RETRIEVEACK = 0x844;
constexpr int32_t CCEV_RETRIEVECALL = 0x845;
constexpr int32_t CCEV_RETRIEVEREJ = 0x846;
constexpr int32_t CCEV_NSI = 0x847;
constexpr int32_t CCEV_TRANSFERACK = 0x848;
constexpr int32_t CCEV_TRANSFERREJ = 0x849;
constexpr int32_t CCEV_TRANSIT = 0x84A;
constexpr int32_t CCEV_RESTARTFAIL = 0x84B;
constexpr int32_t CCEV_TERM_REGISTER = 0x84C;
constexpr int32_t CCEV_RCVTERMREG_ACK = 0x84E;
constexpr int32_t CCEV_RCVTERMREG_NACK = 0x84F;
constexpr int32_t CCEV_INFONULL = 0x850;
constexpr int32_t CCEV_TONEREDEFINEFAIL = 0x851;
constexpr int32_t CCEV_TONEREDEFINE = 0x852;
constexpr int32_t CCEV_PLAYTONEFAIL = 0x853;
constexpr int32_t CCEV_PLAYTONE = 0x854;
constexpr int32_t CCEV_STOPTONEFAIL = 0x855;
constexpr int32_t CCEV_STOPTONE = 0x856;
constexpr int32_t CCEV_NOTIFYNULL = 0x857;
constexpr int32_t CCEV_REDIRECT = 0x858;
constexpr int32_t CCEV_RELEASECALL = 0x859;
constexpr int32_t CCEV_RELEASECALLFAIL = 0x85A;
constexpr int32_t CCEV_FACILITYNULL = 0x85B;
constexpr int32_t CCEV_INFOGLOBAL = 0x85C;
constexpr int32_t CCEV_NOTIFYGLOBAL = 0x85D;
constexpr int32_t CCEV_FACILITYGLOBAL = 0x85E;
constexpr int32_t CCEV_DROPACK = 0x85F;
constexpr int32_t CCEV_DROPREJ = 0x860;
constexpr int32_t CCEV_ALARM = 0x862;
constexpr int32_t CCEV_CALL_ACK = 0x866;
constexpr int32_t CCEV_EXTENSION = 0x868;
constexpr int32_t CCEV_SERVICE = 0x870;
constexpr int32_t CCEV_MODIFY_CALL = 0x886;
constexpr int32_t CCEV_SIP_SESSION_EXPIRES = 0x89C;
constexpr int32_t CCEV_SIP_SESSIONPROGRESS = 0x89D;
constexpr int32_t CCEV_CANCELWAITCALL = 0x8A0;
constexpr int32_t CCEV_INITIATECOT = 0x4000;
constexpr int32_t CCEV_COTFAILED = 0x4001;
constexpr int32_t CCEV_IAMCOTFAILED = 0x4002;

// Call states (cc_CallState, gc_GetCallState).
constexpr int32_t CCST_NULL = 0x00;
constexpr int32_t CCST_ACCEPTED = 0x01;
constexpr int32_t CCST_ALERTING = 0x02;
constexpr int32_t CCST_CONNECTED = 0x04;
constexpr int32_t CCST_OFFERED = 0x08;
constexpr int32_t CCST_DIALING = 0x10;
constexpr int32_t CCST_IDLE = 0x20;
constexpr int32_t CCST_DISCONNECTED = 0x40;
constexpr int32_t CCST_HOLD = 0x80;
constexpr int32_t CCST_DETECTED = 0x100;
constexpr int32_t CCST_PROCEEDING = 0x200;

// B-channel and line device states (cc_GetBChanState, cc_SetChanState).
constexpr int32_t ISDN_IN_SERVICE = 0;
constexpr int32_t ISDN_MAINTENANCE = 1;
constexpr int32_t ISDN_OUT_OF_SERVICE = 2;

// Release causes (Q.850 values, which both call-control libraries report).
constexpr int32_t CAUSE_UNASSIGNED_NUMBER = 1;
constexpr int32_t CAUSE_NORMAL_CLEARING = 16;
constexpr int32_t CAUSE_USER_BUSY = 17;
constexpr int32_t CAUSE_NO_USER_RESPONDING = 18;
constexpr int32_t CAUSE_NO_ANSWER = 19;
constexpr int32_t CAUSE_CALL_REJECTED = 21;
constexpr int32_t CAUSE_NUMBER_CHANGED = 22;
constexpr int32_t CAUSE_DESTINATION_OUT_OF_ORDER = 27;
constexpr int32_t CAUSE_INVALID_NUMBER_FORMAT = 28;
constexpr int32_t CAUSE_NORMAL_UNSPECIFIED = 31;
constexpr int32_t CAUSE_NO_CIRCUIT_AVAILABLE = 34;
constexpr int32_t CAUSE_NETWORK_OUT_OF_ORDER = 38;
constexpr int32_t CAUSE_TEMPORARY_FAILURE = 41;
constexpr int32_t CAUSE_SWITCH_CONGESTION = 42;
constexpr int32_t CAUSE_CHANNEL_UNAVAILABLE = 44;
constexpr int32_t CAUSE_INCOMPATIBLE_DESTINATION = 88;
constexpr int32_t CAUSE_RECOVERY_ON_TIMER = 102;
constexpr int32_t CAUSE_INTERWORKING = 127;

// Call information ids (cc_GetCallInfo, gc_GetCallInfo).
constexpr int32_t CALLINFO_DESTINATION_ADDRESS = 262;
constexpr int32_t CALLINFO_ORIGINATION_ADDRESS = 263;
constexpr int32_t CALLINFO_CALLNAME = 264;
constexpr int32_t CALLINFO_CALLINFOTYPE = 265;
// Signalling information id of cc_GetSigInfo / gc_GetSigInfo: the information elements.
constexpr int32_t U_IES = 16;

// An information-element block: a length and up to 260 bytes of elements. Travels on the
// command connection as a 262-byte block.
struct IE_BLK {
    int16_t length;
    char data[260];
};
static_assert(sizeof(IE_BLK) == 262);

// Parameters of cc_MakeCall, carried whole as a 127-byte block.
struct MAKECALL_BLK {
    uint8_t mc_block[127];
};
static_assert(sizeof(MAKECALL_BLK) == 127);

// D-channel configuration of cc_SetDChanCfg, carried whole as an 82-byte block.
struct DCHAN_CFG {
    uint8_t dc_block[82];
};
static_assert(sizeof(DCHAN_CFG) == 82);

// Parameters of cc_WaitCall; the node passes none.
struct WAITCALL_BLK {
    int32_t flags;
    int32_t rfu;
};
