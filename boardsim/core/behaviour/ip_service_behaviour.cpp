// Requests to the IP call-control library through parameter blocks. Each needs Global Call
// started and an open Global Call line device as its target; the block is read as the library
// reads it and kept (ip_service_requests.h), and configuration changes and service requests
// are given a request id. Their completions are not raised as events.

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// The authentication record inside the block: set IPSET_SIP_CONFIG, parameter 5.
constexpr uint16_t kAuthenticationParameter = 5;

// The target's name when it is an open Global Call line device; else the refusal is recorded.
std::optional<std::string> TargetName(LINEDEV target) {
    Machine& machine = Machine::Get();
    if (!machine.globalcall().started()) {
        Report(Flavour::kGlobalCall, CallFault::kNotStarted, 0);
        return std::nullopt;
    }
    const std::optional<DeviceInfo> device = machine.devices().Find(target);
    if (!device || !device->open || device->family != DeviceFamily::kGlobalCall) {
        Report(Flavour::kGlobalCall, CallFault::kBadLine, target);
        return std::nullopt;
    }
    return device->name;
}

std::optional<std::vector<BlockParameter>> Parameters(GC_PARM_BLKP block, LINEDEV target) {
    std::optional<std::vector<BlockParameter>> parameters;
    if (block != nullptr)
        parameters = ReadParameterBlock(block);
    if (!parameters)
        Report(Flavour::kGlobalCall, CallFault::kBadParameter, target);
    return parameters;
}

// The request id, or -1 after the refusal is recorded.
int64_t Keep(const char* function, int32_t target_type, LINEDEV target, GC_PARM_BLKP block) {
    const std::optional<std::string> name = TargetName(target);
    if (!name)
        return -1;
    std::optional<std::vector<BlockParameter>> parameters = Parameters(block, target);
    if (!parameters)
        return -1;
    ServiceRequest request;
    request.function = function;
    request.device = *name;
    request.target_type = target_type;
    request.parameters = std::move(*parameters);
    return Machine::Get().ip_services().Add(std::move(request));
}

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

int32_t Behaviour<tags::gc_SetConfigData>::Run(int32_t target_type, LINEDEV target_id,
                                               GC_PARM_BLKP parameters, int32_t /*timeout*/,
                                               int32_t /*update_condition*/, int32_t* request_id,
                                               uint32_t /*mode*/) {
    if (request_id == nullptr)
        return Report(Flavour::kGlobalCall, CallFault::kBadParameter, target_id);
    const int64_t id = Keep("gc_SetConfigData", target_type, target_id, parameters);
    if (id < 0)
        return -1;
    *request_id = static_cast<int32_t>(id);
    return 0;
}

int32_t Behaviour<tags::gc_ReqService>::Run(int32_t target_type, LINEDEV target_id,
                                            uint32_t* service_id, GC_PARM_BLKP request,
                                            GC_PARM_BLKP* /*response*/, uint32_t /*mode*/) {
    if (service_id == nullptr)
        return Report(Flavour::kGlobalCall, CallFault::kBadParameter, target_id);
    const int64_t id = Keep("gc_ReqService", target_type, target_id, request);
    if (id < 0)
        return -1;
    *service_id = static_cast<uint32_t>(id);
    return 0;
}

// The block carries one authentication record by reference: the record itself, whose four
// texts the library reads through their pointers while the call runs.
int32_t Behaviour<tags::gc_SetAuthenticationInfo>::Run(int32_t /*target_type*/, LINEDEV target_id,
                                                       GC_PARM_BLKP parameters) {
    if (!TargetName(target_id))
        return -1;
    const std::optional<std::vector<BlockParameter>> read = Parameters(parameters, target_id);
    if (!read)
        return -1;
    for (const BlockParameter& parameter : *read) {
        if (parameter.set_id != IPSET_SIP_CONFIG || parameter.parm_id != kAuthenticationParameter)
            continue;
        IP_AUTHENTICATION record{};
        if (parameter.value.size() != sizeof record)
            break;
        std::memcpy(&record, parameter.value.data(), sizeof record);
        if (record.version != IP_AUTHENTICATION_VERSION || record.size != sizeof record)
            break;
        Machine::Get().ip_services().SetAuthentication(
            target_id, {Text(record.realm), Text(record.identity), Text(record.username),
                        Text(record.password)});
        return 0;
    }
    return Report(Flavour::kGlobalCall, CallFault::kBadParameter, target_id);
}

}  // namespace ruzd::boardsim
