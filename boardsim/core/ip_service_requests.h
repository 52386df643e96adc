#pragma once

// What the IP call-control library has been asked through parameter blocks: configuration
// changes (gc_SetConfigData) and service requests such as SIP registrations (gc_ReqService),
// each kept under the request id it was given, and the authentication data set on each line
// device (gc_SetAuthenticationInfo). The control socket shows them, so that tests can see what
// a block really held and not only that it was handed over.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "telephony/vendorapi/globalcall.h"

namespace ruzd::boardsim {

struct BlockParameter {
    uint16_t set_id = 0;
    uint16_t parm_id = 0;
    std::vector<uint8_t> value;
};

// The parameters of a block in order; nullopt for a block whose entries run past its end.
std::optional<std::vector<BlockParameter>> ReadParameterBlock(const GC_PARM_BLK* block);

struct ServiceRequest {
    uint32_t id = 0;
    std::string function;
    std::string device;  // the line device's name as opened
    int32_t target_type = 0;
    std::vector<BlockParameter> parameters;
};

struct SipAuthentication {
    std::string realm;
    std::string identity;
    std::string username;
    std::string password;
};

class IpServiceRequests {
public:
    // Keeps the request under a new id (counting from 1) and returns the id.
    uint32_t Add(ServiceRequest request);
    std::optional<ServiceRequest> Find(uint32_t id) const;

    // Replaces what the line device authenticates with.
    void SetAuthentication(int32_t line, SipAuthentication authentication);
    std::optional<SipAuthentication> AuthenticationOf(int32_t line) const;

private:
    mutable std::mutex mutex_;
    uint32_t next_id_ = 1;
    std::map<uint32_t, ServiceRequest> requests_;
    std::map<int32_t, SipAuthentication> authentications_;
};

// "id=<id> function=<name> device=<name> target=<type>" and one "<set>/<parm>=<hex value>"
// for each parameter (set and parameter ids in hexadecimal with 0x).
std::string DescribeRequest(const ServiceRequest& request);

}  // namespace ruzd::boardsim
