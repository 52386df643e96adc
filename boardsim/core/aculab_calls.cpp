#include "boardsim/core/aculab_calls.h"

#include <cstdio>

#include "boardsim/core/aculab_system.h"

namespace ruzd::boardsim {
namespace {

std::string Hex(uintptr_t id) {
    if (id == 0)
        return "none";
    char text[32];
    std::snprintf(text, sizeof text, "0x%jx", static_cast<uintmax_t>(id));
    return text;
}

}  // namespace

int32_t AculabCalls::OpenPort(int32_t card_id, int32_t index, int32_t* port_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, port] : ports_) {
        if (port.card_id == card_id && port.index == index)
            return kAculabBusy;
    }
    *port_id = next_port_++;
    ports_[*port_id] = Port{card_id, index, 0};
    return 0;
}

int32_t AculabCalls::OpenIptelPort(int32_t card_id, int32_t protocol, int32_t* port_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    *port_id = next_port_++;
    ports_[*port_id] = Port{card_id, -1, protocol};
    return 0;
}

int32_t AculabCalls::ClosePort(int32_t port_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ports_.erase(port_id) == 0)
        return kAculabBadParameter;
    EndCallsOf(port_id);
    return 0;
}

void AculabCalls::ForgetCard(int32_t card_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = ports_.begin(); it != ports_.end();) {
        if (it->second.card_id == card_id) {
            EndCallsOf(it->first);
            it = ports_.erase(it);
        } else {
            ++it;
        }
    }
}

void AculabCalls::EndCallsOf(int32_t port_id) {
    std::erase_if(calls_, [port_id](const auto& call) { return call.second.port == port_id; });
}

std::optional<AculabCalls::Port> AculabCalls::PortOf(int32_t port_id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = ports_.find(port_id);
    if (found == ports_.end())
        return std::nullopt;
    return found->second;
}

int32_t AculabCalls::Open(const Call& call, int32_t* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ports_.count(call.port) == 0)
        return kAculabBadParameter;
    *handle = next_call_++;
    calls_[*handle] = call;
    return 0;
}

int32_t AculabCalls::Change(int32_t handle, const std::function<int32_t(Call& call)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = calls_.find(handle);
    if (found == calls_.end())
        return kAculabBadParameter;
    return change(found->second);
}

int32_t AculabCalls::Release(int32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.erase(handle) != 0 ? 0 : kAculabBadParameter;
}

std::optional<AculabCalls::Call> AculabCalls::CallOf(int32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = calls_.find(handle);
    if (found == calls_.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> AculabCalls::DescribePort(int32_t port_id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = ports_.find(port_id);
    if (found == ports_.end())
        return std::nullopt;
    const Port& port = found->second;
    std::string text = "card=" + std::to_string(port.card_id);
    text += port.index >= 0 ? " index=" + std::to_string(port.index)
                            : " ipt protocol=" + std::to_string(port.protocol);
    std::string calls;
    for (const auto& [handle, call] : calls_) {
        if (call.port == port_id)
            calls += (calls.empty() ? "" : ",") + std::to_string(handle);
    }
    return text + " calls=" + (calls.empty() ? "none" : calls);
}

std::optional<std::string> AculabCalls::DescribeCall(int32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = calls_.find(handle);
    if (found == calls_.end())
        return std::nullopt;
    const Call& call = found->second;
    return "port=" + std::to_string(call.port) + " slot=" + std::to_string(call.slot) +
           " direction=" + (call.outgoing ? "out" : "in") + " state=" + call.state +
           " context=" + std::to_string(call.context) + " vmprx=" + Hex(call.vmprx) +
           " vmptx=" + Hex(call.vmptx) + " cause=" + std::to_string(call.cause) +
           " dtmf=" + (call.dtmf ? std::to_string(*call.dtmf) : "none");
}

}  // namespace ruzd::boardsim
