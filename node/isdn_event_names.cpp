#include "node/isdn_event_names.h"

namespace ruzd::node {
namespace {

struct EventName {
    int32_t code;
    const char* name;
};

// Voice library events keep their TDX_ names; call-control events stand without their CCEV_.
constexpr EventName kEventNames[] = {
    {0x81, "TDX_PLAY"},
    {0x82, "TDX_RECORD"},
    {0x83, "TDX_GETDIG"},
    {0x84, "TDX_DIAL"},
    {0x85, "TDX_CALLP"},
    {0x86, "TDX_CST"},
    {0x87, "TDX_SETHOOK"},
    {0x88, "TDX_WINK"},
    {0x89, "TDX_ERROR"},
    {0x8A, "TDX_PLAYTONE"},
    {0x8B, "TDX_GETR2MF"},
    {0x8C, "TDX_BARGEIN"},
    {0x8D, "TDX_NOSTOP"},
    {0xE0, "TEC_STREAM"},
    {0x801, "TASKFAIL"},
    {0x802, "ANSWERED"},
    {0x804, "ACCEPT"},
    {0x805, "DROPCALL"},
    {0x806, "RESTART"},
    {0x807, "CALLINFO"},
    {0x808, "REQANI"},
    {0x809, "SETCHANSTATE"},
    {0x80A, "FACILITY_ACK"},
    {0x80B, "FACILITY_REJ"},
    {0x80C, "MOREDIGITS"},
    {0x80E, "SETBILLING"},
    {0x80F, "ATTACH"},
    {0x810, "ATTACH_FAIL"},
    {0x811, "DETACH"},
    {0x812, "DETACH_FAIL"},
    {0x813, "MEDIA_REQ"},
    {0x814, "STOPMEDIA_REQ"},
    {0x815, "MEDIA_ACCEPT"},
    {0x816, "MEDIA_REJ"},
    {0x817, "OPENEX"},
    {0x818, "OPENEX_FAIL"},
    {0x819, "TRACEDATA"},
    {0x821, "ALERTING"},
    {0x822, "CONNECTED"},
    {0x823, "ERROR"},
    {0x824, "OFFERED"},
    {0x826, "DISCONNECTED"},
    {0x827, "PROCEEDING"},
    {0x828, "PROGRESSING"},
    {0x829, "USRINFO"},
    {0x82A, "FACILITY"},
    {0x82B, "CONGESTION"},
    {0x82E, "D_CHAN_STATUS"},
    {0x830, "NOUSRINFOBUF"},
    {0x831, "NOFACILITYBUF"},
    {0x832, "BLOCKED"},
    {0x833, "UNBLOCKED"},
    {0x834, "ISDNMSG"},
    {0x835, "NOTIFY"},
    {0x836, "L2FRAME"},
    {0x837, "L2BFFRFULL"},
    {0x838, "L2NOBFFR"},
    {0x839, "SETUP_ACK"},
    {0x840, "DIVERTED"},
    {0x841, "HOLDACK"},
    {0x842, "HOLDCALL"},
    {0x843, "HOLDREJ"},
    {0x844, "RETRIEVEACK"},
    {0x845, "RETRIEVECALL"},
    {0x846, "RETRIEVEREJ"},
    {0x847, "NSI"},
    {0x848, "TRANSFERACK"},
    {0x849, "TRANSFERREJ"},
    {0x84A, "TRANSIT"},
    {0x84B, "RESTARTFAIL"},
    {0x84C, "TERM_REGISTER"},
    {0x84E, "RCVTERMREG_ACK"},
    {0x84F, "RCVTERMREG_NACK"},
    {0x850, "INFONULL"},
    {0x851, "TONEREDEFINEFAIL"},
    {0x852, "TONEREDEFINE"},
    {0x853, "PLAYTONEFAIL"},
    {0x854, "PLAYTONE"},
    {0x855, "STOPTONEFAIL"},
    {0x856, "STOPTONE"},
    {0x857, "NOTIFYNULL"},
    {0x858, "REDIRECT"},
    {0x859, "RELEASECALL"},
    {0x85A, "RELEASECALLFAIL"},
    {0x85B, "FACILITYNULL"},
    {0x85C, "INFOGLOBAL"},
    {0x85D, "NOTIFYGLOBAL"},
    {0x85E, "FACILITYGLOBAL"},
    {0x85F, "DROPACK"},
    {0x860, "DROPREJ"},
    {0x862, "ALARM"},
    {0x866, "CALL_ACK"},
    {0x868, "EXTENSION"},
    {0x870, "SERVICE"},
    {0x886, "MODIFY_CALL"},
    {0x89C, "SIP_SESSION_EXPIRES"},
    {0x89D, "SIP_SESSIONPROGRESS"},
    {0x8A0, "CANCELWAITCALL"},
    {0x4000, "INITIATECOT"},
    {0x4001, "COTFAILED"},
    {0x4002, "IAMCOTFAILED"},
};

}  // namespace

void IsdnEventNames::Populate() {
    for (const EventName& entry : kEventNames) {
        names_[entry.code] = entry.name;
    }
}

const std::string& IsdnEventNames::Name(int32_t code) const {
    static const std::string unknown = "Unknown Event";
    const auto it = names_.find(code);
    return it == names_.end() ? unknown : it->second;
}

}  // namespace ruzd::node
