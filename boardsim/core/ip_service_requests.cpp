#include "boardsim/core/ip_service_requests.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace ruzd::boardsim {

std::optional<std::vector<BlockParameter>> ReadParameterBlock(const GC_PARM_BLK* block) {
    std::vector<BlockParameter> parameters;
    if (block == nullptr)
        return parameters;
    const uint8_t* at = block->parm_data_buf;
    const uint8_t* const end = at + block->parm_data_size;
    while (at < end) {
        if (end - at < static_cast<ptrdiff_t>(GC_PARM_DATA_HEADER))
            return std::nullopt;
        BlockParameter parameter;
        std::memcpy(&parameter.set_id, at, sizeof parameter.set_id);
        std::memcpy(&parameter.parm_id, at + 2, sizeof parameter.parm_id);
        const uint8_t size = at[4];
        at += GC_PARM_DATA_HEADER;
        if (end - at < size)
            return std::nullopt;
        parameter.value.assign(at, at + size);
        at += size;
        parameters.push_back(std::move(parameter));
    }
    return parameters;
}

uint32_t IpServiceRequests::Add(ServiceRequest request) {
    std::lock_guard<std::mutex> lock(mutex_);
    request.id = next_id_++;
    const uint32_t id = request.id;
    requests_[id] = std::move(request);
    return id;
}

std::optional<ServiceRequest> IpServiceRequests::Find(uint32_t id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = requests_.find(id);
    if (it == requests_.end())
        return std::nullopt;
    return it->second;
}

void IpServiceRequests::SetAuthentication(int32_t line, SipAuthentication authentication) {
    std::lock_guard<std::mutex> lock(mutex_);
    authentications_[line] = std::move(authentication);
}

std::optional<SipAuthentication> IpServiceRequests::AuthenticationOf(int32_t line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = authentications_.find(line);
    if (it == authentications_.end())
        return std::nullopt;
    return it->second;
}

std::string DescribeRequest(const ServiceRequest& request) {
    std::string text = "id=" + std::to_string(request.id) + " function=" + request.function +
                       " device=" + request.device +
                       " target=" + std::to_string(request.target_type);
    for (const BlockParameter& parameter : request.parameters) {
        char ids[32];
        std::snprintf(ids, sizeof ids, " 0x%x/0x%x=", parameter.set_id, parameter.parm_id);
        text += ids;
        for (uint8_t byte : parameter.value) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", byte);
            text += hex;
        }
    }
    return text;
}

}  // namespace ruzd::boardsim
