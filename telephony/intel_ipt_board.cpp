#include "telephony/intel_ipt_board.h"

#include <cstring>

#include "foundation/char_buffer.h"
#include "foundation/dialogic_install.h"
#include "platform/computer_name.h"
#include "platform/text.h"
#include "telephony/gc_parameter_block.h"
#include "telephony/hardware.h"
#include "telephony/hmp_release.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int kIpLog = 6;
constexpr int kGeneralLog = 0;
// The narrow text buffers the IP library reads registration and authentication texts from.
constexpr size_t kTextBuffer = 128;

// --- Board configuration ---

struct ValueSetting {
    uint16_t set_id;
    uint16_t parm_id;
    uint8_t size;
    uint32_t value;
    const char* failure_suffix;  // after "... failed on <device>"
};

// The call-control configuration, the SIP messages whose contents are reported and the SIP
// configuration the node's call handling relies on.
constexpr ValueSetting kBoardSettings[] = {
    {IPSET_CONFIG, 1, 1, 6, ""},
    {IPSET_MSG_INFO, 2, 2, 0xB8, " (2)"},
    {IPSET_SIP_CONFIG, 2, 4, 4, " (3)"},
};

// The SIP header fields of incoming messages that the node wants reported.
constexpr uint16_t kReportedHeaderParameter = 4;
struct ReportedHeader {
    const char* name;
    const char* failure_suffix;
};
constexpr ReportedHeader kReportedHeaders[] = {
    {"Reason", " (4)"},
    {"Reason-Phrase", " (5)"},
    {"Call-ID", " (6)"},
    {"Warning", " (7)"},
};

// A re-INVITE that arrives while another is pending waits instead of being refused.
constexpr ValueSetting kDeferPendingReinvite = {IPSET_SIP_CONFIG, IPPARM_DEFER_PENDING_REINVITE, 4,
                                                1, " (8)"};

// --- Registration ---

constexpr uint16_t kAuthenticationParameter = 5;
constexpr uint16_t kRegisterParameter = 1;
constexpr uint16_t kDeregisterParameter = 2;
constexpr uint16_t kRegistrationAddressParameter = 3;
constexpr uint16_t kLocalAliasParameter = 0;
constexpr uint32_t kRegistrationRequest = 1;
constexpr uint32_t kAcknowledge = 1;
constexpr uint32_t kSipProtocol = 1;
constexpr uint32_t kSetRegistration = 1;
constexpr uint32_t kRemoveAllRegistrations = 5;
constexpr int32_t kMaximumHops = 70;

struct RequestSetting {
    uint16_t set_id;
    uint16_t parm_id;
    uint32_t value;
    const char* failure;
};

constexpr RequestSetting kRegisterRequest[] = {
    {GCSET_SERVREQ, PARM_REQTYPE, kRegistrationRequest,
     "CIntelIPTBoard::SipRegister error insert reqtype"},
    {GCSET_SERVREQ, PARM_ACK, kAcknowledge, "CIntelIPTBoard::SipRegister error insert ack"},
    {IPSET_PROTOCOL, 1, kSipProtocol, "CIntelIPTBoard::SipRegister error insert protocol bitmask"},
    {IPSET_REG_INFO, kRegisterParameter, kSetRegistration,
     "CIntelIPTBoard::SipRegister error insert operation register"},
};

constexpr RequestSetting kUnregisterAllRequest[] = {
    {GCSET_SERVREQ, PARM_REQTYPE, kRegistrationRequest,
     "CIntelIPTBoard::SipRegister error insert reqtype"},
    {GCSET_SERVREQ, PARM_ACK, kAcknowledge, "CIntelIPTBoard::SipRegister error insert ack"},
    {IPSET_PROTOCOL, 1, kSipProtocol,
     "CIntelIPTBoard::SipUnregisterAll error insert protocol bitmask"},
    {IPSET_REG_INFO, kDeregisterParameter, kRemoveAllRegistrations,
     "CIntelIPTBoard::SipUnregisterAll error insert operation register"},
};

// Inserts the one-byte request values in order; false after logging the first that failed.
template <size_t N>
bool InsertRequest(GcParameterBlock& block, const RequestSetting (&settings)[N]) {
    for (const RequestSetting& setting : settings) {
        if (block.InsertValue(setting.set_id, setting.parm_id, 1, setting.value) != 0) {
            VendorTrace(kIpLog, 0, "%s", setting.failure);
            return false;
        }
    }
    return true;
}

std::string SipAddress(const std::string& user, const std::string& host) {
    return platform::Format("sip:%s@%s:5060", user.c_str(), host.c_str());
}

// The host named in the contact: the given one, or this machine's host name (as a SIP contact
// names it: the name the resolver knows, not the computer name).
void ContactHost(const std::string* local_host, char (&host)[kTextBuffer]) {
    if (local_host != nullptr && !local_host->empty()) {
        foundation::CopyToCharBuffer(host, local_host, sizeof host);
        return;
    }
    const std::string machine = platform::HostName().value_or(std::string());
    foundation::CopyToCharBuffer(host, &machine, sizeof host);
}

bool GlobalCallReady(CHardware* hardware) {
    return hardware != nullptr && hardware->IsGlobalCallInitialised();
}

}  // namespace

bool CIntelIPTBoard::Init(int32_t board_number, const std::string& address) {
    board_number_ = board_number;
    address_ = address;
    device_name_ = platform::Format(":P_IP:N_iptB%d", board_number);
    if (OpenLineDevice(device_name_) < 0) {
        VendorTrace(kIpLog, 0,
                    "Error: CIPTBoard::Init -> gc_OpenEx failed to get IPT board handle for %s",
                    device_name_.c_str());
        return false;
    }
    if (!Configure()) {
        Close();
        return false;
    }
    CountChannels();
    VendorTrace(kIpLog, 0, "%d Channels on IPT Board %s detected", channel_count_,
                device_name_.c_str());
    return true;
}

bool CIntelIPTBoard::Configure() {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr)
        return false;
    GcParameterBlock block(*hardware);
    const auto insert_value = [&](const ValueSetting& setting) {
        if (block.InsertValue(setting.set_id, setting.parm_id, setting.size, setting.value) == 0)
            return true;
        VendorTrace(kIpLog, 0, "Error: CIPTBoard::Init -> gc_util_insert_parm_val failed on %s%s",
                    device_name_.c_str(), setting.failure_suffix);
        return false;
    };
    for (const ValueSetting& setting : kBoardSettings) {
        if (!insert_value(setting))
            return false;
    }
    for (const ReportedHeader& header : kReportedHeaders) {
        std::string name = header.name;  // the library copies the text with its zero
        if (block.InsertReference(IPSET_SIP_CONFIG, kReportedHeaderParameter,
                                  static_cast<uint8_t>(name.size() + 1), name.data()) != 0) {
            VendorTrace(kIpLog, 0,
                        "Error: CIPTBoard::Init -> gc_util_insert_parm_val failed on %s%s",
                        device_name_.c_str(), header.failure_suffix);
            return false;
        }
    }
    if (DefersPendingReinvite(foundation::GetDialogicVersion())) {
        if (!insert_value(kDeferPendingReinvite))
            return false;
    } else {
        VendorTrace(kIpLog, 0,
                    "Warning: CIPTBoard::Init -> Skipped enabling IPPARM_DEFER_PENDING_REINVITE on "
                    "%s, because dialogic < HMP 3.0 SU357",
                    device_name_.c_str());
    }
    int32_t request_id = 0;
    if (hardware->gc_SetConfigData(GCTGT_CCLIB_NETIF, handle_, block.get(), 0, 0, &request_id,
                                   GC_ASYNC) != 0) {
        VendorTrace(kIpLog, 0, "Error: CIPTBoard::Init -> gc_SetConfigData failed on %s",
                    device_name_.c_str());
        return false;
    }
    return true;
}

uint32_t CIntelIPTBoard::SipRegister(const std::string& server, const std::string& domain,
                                     const std::string& user, const std::string& password,
                                     const std::string* local_host, int32_t time_to_live) {
    char contact_host[kTextBuffer];
    ContactHost(local_host, contact_host);
    CHardware* hardware = PublishedHardware();
    if (!GlobalCallReady(hardware)) {
        VendorTrace(kGeneralLog, 0,
                    "SipRegister not succeeded because Global Call is not initialised.");
        return 0;
    }

    // "<authentication name>:<user>" registers the user in the domain; a plain user name is
    // both, registered at the server.
    std::string authentication_name;
    std::string address_of_record;
    const size_t colon = user.find(':');
    if (colon != std::string::npos) {
        authentication_name = user.substr(0, colon);
        address_of_record = SipAddress(user.substr(colon + 1), domain);
    } else {
        authentication_name = user;
        address_of_record = SipAddress(user, server);
    }

    {
        char realm[kTextBuffer];
        char identity[kTextBuffer];
        char username[kTextBuffer];
        char secret[kTextBuffer];
        const std::string no_identity;
        foundation::CopyToCharBuffer(realm, &server, sizeof realm);
        foundation::CopyToCharBuffer(identity, &no_identity, sizeof identity);
        foundation::CopyToCharBuffer(username, &authentication_name, sizeof username);
        foundation::CopyToCharBuffer(secret, &password, sizeof secret);
        // The record travels by reference: the library reads the texts through its pointers.
        IP_AUTHENTICATION authentication{IP_AUTHENTICATION_VERSION,
                                         sizeof(IP_AUTHENTICATION),
                                         realm,
                                         identity,
                                         username,
                                         secret};
        GcParameterBlock block(*hardware);
        block.InsertReference(IPSET_SIP_CONFIG, kAuthenticationParameter, sizeof authentication,
                              &authentication);
        const int32_t result =
            hardware->gc_SetAuthenticationInfo(GCTGT_CCLIB_NETIF, handle_, block.get());
        explicit_bzero(secret, sizeof secret);
        if (result != 0) {
            VendorTrace(kIpLog, 0, "Error Set Auth Info");
            return 0;
        }
    }

    uint32_t request_id = 0;
    GcParameterBlock block(*hardware);
    if (!InsertRequest(block, kRegisterRequest))
        return request_id;
    IP_REGISTER_ADDRESS registration{};
    foundation::CopyToCharBuffer(registration.reg_client, &address_of_record,
                                 sizeof registration.reg_client);
    foundation::CopyToCharBuffer(registration.reg_server, &domain, sizeof registration.reg_server);
    registration.time_to_live = time_to_live;
    registration.max_hops = kMaximumHops;
    if (block.InsertReference(IPSET_REG_INFO, kRegistrationAddressParameter, sizeof registration,
                              &registration) != 0) {
        VendorTrace(kIpLog, 0, "CIntelIPTBoard::SipRegister error insert reg adress");
        return request_id;
    }

    char alias[kTextBuffer];
    const std::string alias_text =
        SipAddress(authentication_name, platform::Cp1252ToUtf8(contact_host));
    foundation::CopyToCharBuffer(alias, &alias_text, sizeof alias);
    // The alias is a courtesy to the registrar: the registration goes ahead without it.
    block.InsertReference(IPSET_LOCAL_ALIAS, kLocalAliasParameter,
                          static_cast<uint8_t>(std::strlen(alias) % 256 + 1), alias);

    if (hardware->gc_ReqService(GCTGT_CCLIB_NETIF, handle_, &request_id, block.get(), nullptr,
                                GC_ASYNC) < 0)
        VendorTrace(kIpLog, 0, "CIntelIPTBoard::SipRegister error ReqService");
    return request_id;
}

uint32_t CIntelIPTBoard::SipUnregisterAll() {
    CHardware* hardware = PublishedHardware();
    if (!GlobalCallReady(hardware)) {
        VendorTrace(kGeneralLog, 0,
                    "SipUnregisterAll not succeeded because Global Call is not initialised.");
        return 0;
    }
    uint32_t request_id = 0;
    GcParameterBlock block(*hardware);
    if (!InsertRequest(block, kUnregisterAllRequest))
        return request_id;
    if (hardware->gc_ReqService(GCTGT_CCLIB_NETIF, handle_, &request_id, block.get(), nullptr,
                                GC_ASYNC) < 0)
        VendorTrace(kIpLog, 0, "CIntelIPTBoard::SipUnregisterAll error ReqService");
    return request_id;
}

}  // namespace ruzd::telephony
