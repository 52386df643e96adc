#include "net/text_handshake.h"

#include <chrono>

#include "foundation/static_tools.h"
#include "net/text_parameter.h"

namespace ruzd::net {

using foundation::CStaticTools;

void TextHandshake::Reset() {
    state_ = kHandshakeNone;
    accepted_side_ = false;
}

void TextHandshake::Begin(Link& link, bool acceptedSide) {
    accepted_side_ = acceptedSide;
    remembered_encryption_ = link.Encryption();
    remembered_compression_ = link.Compression();
    link.ApplySettings(true, false);
    state_ = kHandshakeRunning;
}

void TextHandshake::BeginConnecting(Link& link) {
    Begin(link, false);
    std::string line = "CNPROP ";
    line += EncodeParameter(link.OwnTimeText());
    if (const std::optional<std::string> station = link.OwnStationName()) {
        line += ' ';
        line += EncodeParameter(*station);
    }
    line += '\r';
    link.SendLine(line);
}

void TextHandshake::BeginAccepting(Link& link) {
    Begin(link, true);
}

bool TextHandshake::Finish(Link& link) {
    if (state_ == kHandshakeDone) {
        return true;
    }
    state_ = kHandshakeFailed;
    link.ApplySettings(remembered_encryption_, remembered_compression_);
    return false;
}

void TextHandshake::RecordPeerTime(const std::string& text, Link& link) {
    const std::optional<PeerTime> peer = ParseIsoTime(text);
    if (!peer) {
        return;
    }
    peer_clock_.differenceSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(peer->utc - link.Now()).count();
    peer_clock_.utcMinusLocalMinutes = peer->utcMinusLocalMinutes;
}

void TextHandshake::SendClock(Link& link) {
    std::string line = "TTSYNC ";
    line += EncodeParameter(link.ClockSyncText());
    line += '\r';
    link.SendLine(line);
}

void TextHandshake::OnCnprop(const SocketParameters& parameters, Link& link) {
    if (accepted_side_) {
        OnCnpropAccepting(parameters, link);
    } else {
        OnCnpropConnecting(parameters, link);
    }
}

void TextHandshake::OnCnpropConnecting(const SocketParameters& parameters, Link& link) {
    if (parameters.size() < 3) {
        return;
    }
    RecordPeerTime(parameters[0], link);
    const bool encrypt = CStaticTools::StrToBool(parameters[1]);
    const bool compress = CStaticTools::StrToBool(parameters[2]);
    peer_station_ = parameters.size() >= 4 ? parameters[3] : std::string();
    link.ApplySettings(encrypt, compress);
    link.SendLine("CNPROP\r");
    state_ = kHandshakeDone;
    if (!time_source_) {
        SendClock(link);
    }
}

void TextHandshake::OnCnpropAccepting(const SocketParameters& parameters, Link& link) {
    if (parameters.empty()) {
        // The acknowledgement, already under the offered settings.
        if (state_ != kHandshakeFailed) {
            state_ = kHandshakeDone;
        }
        if (time_source_) {
            SendClock(link);
        }
        return;
    }
    if (state_ != kHandshakeFailed) {
        state_ = kHandshakePeerSeen;
    }
    RecordPeerTime(parameters[0], link);
    peer_station_ = parameters.size() >= 2 ? parameters[1] : std::string();
    bool encrypt = false;
    bool compress = false;
    link.OfferedSettings(encrypt, compress);
    std::string reply = "CNPROP ";
    reply += EncodeParameter(link.OwnTimeText());
    reply += encrypt ? " 1" : " 0";
    reply += compress ? " 1" : " 0";
    if (parameters.size() >= 2) {
        if (const std::optional<std::string> station = link.OwnStationName()) {
            reply += ' ';
            reply += EncodeParameter(*station);
        }
    }
    reply += '\r';
    link.SendLine(reply);
    link.ApplySettings(encrypt, compress);
}

}  // namespace ruzd::net
