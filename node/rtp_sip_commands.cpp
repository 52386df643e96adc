// The central server's commands of the IP side: SIP registration of the node's identities on
// every IP telephony board (and dropping them all), and the RTP stream that carries a voice
// channel's audio to a network address: started, stopped and cleaned up. Only the
// registration replies, with one result per board.

#include <cstdint>
#include <string>
#include <vector>

#include "node/vesmarin_manager.h"
#include "platform/ipv4_text.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelIp;
using foundation::kDebugChannelVoice;
using platform::Format;

namespace {

// A registration that names no expiry lasts an hour.
constexpr int32_t kDefaultExpirySeconds = 3600;
constexpr int32_t kLowestPort = 1;
constexpr int32_t kHighestPort = 65535;

}  // namespace

void CVesmarinManager::SocketCmdSIUNRE(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    if (!args.Enter()) {
        return;
    }
    hardware_->SipUnregisterAll();
}

void CVesmarinManager::SocketCmdSIREGI(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    int32_t request = 0;
    std::string server;
    std::string domain;
    std::string user;
    std::string password;
    std::string localHost;
    int32_t expiry = kDefaultExpirySeconds;
    args.Long(request).String(server).String(domain).String(user).String(password).String(
        localHost);
    if (args.Stream().HasMoreData()) {
        args.Int(expiry);
    }
    if (!args.Enter()) {
        return;
    }
    std::vector<uint32_t> results;
    hardware_->SipRegister(&results, &server, &domain, &user, &password, &localHost, expiry);
    messages_.SipRegisterResult(*command, request, results);
}

void CVesmarinManager::SocketCmdRTSTAR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    std::string address;
    int32_t port = 0;
    if (!args.Line(ldev).String(address).Long(port).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!FindVoiceChannel(args, static_cast<int32_t>(ldev), "StartRTPStream", &handle)) {
        return;
    }
    // A port the datagrams cannot carry would be cut to another one.
    if (port < kLowestPort || port > kHighestPort) {
        args.TraceLine(Format("StartRTPStream port=%d RET=ERROR", port));
        return;
    }
    // Nothing could be sent to a text that is no address, nor to 0.0.0.0, which names no host:
    // each packet's send would fail and be logged.
    if (platform::ParseIpv4Destination(address) == platform::kNoIpv4Address) {
        args.TraceLine(Format("StartRTPStream address=%s RET=ERROR", address.c_str()));
        return;
    }
    hardware_->StartRTPStream(handle, address, port);
    args.TraceLine(Format("Started RTP Stream to %s on port %d", address.c_str(), port));
}

void CVesmarinManager::SocketCmdRTSTOP(net::CClientStreamSocket* command) {
    OnVoiceStream(command, "StopRTPStream", "Stopped RTP Stream",
                  &telephony::CHardwareISDN::StopRTPStream);
}

void CVesmarinManager::SocketCmdRTCLEA(net::CClientStreamSocket* command) {
    OnVoiceStream(command, "CleanupRTPStream", "Cleanup RTP Stream",
                  &telephony::CHardwareISDN::RemoveRTPStream);
}

// RTSTOP and RTCLEA: the channel's stream stopped or removed; whether it had one is not told.
void CVesmarinManager::OnVoiceStream(net::CClientStreamSocket* command, const char* call,
                                     const char* done,
                                     int32_t (telephony::CHardwareISDN::*operation)(int32_t)) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    if (!args.Line(ldev).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!FindVoiceChannel(args, static_cast<int32_t>(ldev), call, &handle)) {
        return;
    }
    (hardware_.get()->*operation)(handle);
    args.TraceLine(done);
}

}  // namespace ruzd::node
