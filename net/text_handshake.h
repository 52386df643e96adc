#pragma once

// The opening exchange of every text socket connection ("CNPROP"): each side tells the other
// its clock and station name, and the accepting side settles whether the rest of the
// connection is compressed and encrypted. The exchange itself always runs encrypted and
// uncompressed:
//
//   connecting -> accepting   CNPROP <time> [<station>]
//   accepting  -> connecting  CNPROP <time> <encrypt 1/0> <compress 1/0> [<station>]
//                             (then the accepting side switches to what it offered)
//   connecting -> accepting   CNPROP            (already under the offered settings)
//   time source -> other      TTSYNC <time>
//
// This class keeps the state of the exchange; the socket supplies the sending, the settings
// and the clock through Link.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "net/peer_time.h"
#include "net/socket_command.h"

namespace ruzd::net {

enum HandshakeState : int {
    kHandshakeNone = 0,
    kHandshakeRunning = 1,
    kHandshakePeerSeen = 2,  // accepting side: the peer's first CNPROP arrived
    kHandshakeDone = 3,
    kHandshakeFailed = 4,
};

class TextHandshake {
public:
    class Link {
    public:
        virtual ~Link() = default;
        // Sends one line (with its "\r") under the settings in force.
        virtual void SendLine(const std::string& line) = 0;
        virtual bool Encryption() const = 0;
        virtual bool Compression() const = 0;
        virtual void ApplySettings(bool encrypt, bool compress) = 0;
        // What the accepting side offers.
        virtual void OfferedSettings(bool& encrypt, bool& compress) = 0;
        // This side's CNPROP time text and station name.
        virtual std::string OwnTimeText() = 0;
        virtual std::optional<std::string> OwnStationName() = 0;
        // This side's clock as TTSYNC sends it.
        virtual std::string ClockSyncText() = 0;
        // This side's UTC clock, against which the peer's time text is recorded.
        virtual platform::WallTime Now() = 0;
    };

    // `timeSource`: the accepting side sends its clock after the exchange; when false the
    // connecting side does.
    explicit TextHandshake(bool timeSource) : time_source_(timeSource) {}

    void SetTimeSource(bool timeSource) { time_source_ = timeSource; }
    bool TimeSource() const { return time_source_; }

    // Back to no exchange (a new connection or a closed one).
    void Reset();

    // Starts the exchange on the connecting side: remembers the settings, forces encryption on
    // and compression off and sends the first CNPROP.
    void BeginConnecting(Link& link);
    // Starts it on the accepting side; the peer speaks first.
    void BeginAccepting(Link& link);
    // After the time allowed: true when the exchange was completed; otherwise the state becomes
    // failed and the settings remembered at the beginning come back.
    bool Finish(Link& link);

    // A received CNPROP line.
    void OnCnprop(const SocketParameters& parameters, Link& link);

    HandshakeState State() const { return state_.load(); }
    bool AcceptedSide() const { return accepted_side_; }
    const std::string& PeerStation() const { return peer_station_; }
    const PeerClockRecord& PeerClock() const { return peer_clock_; }

    // Records a time text of the peer (CNPROP, CURTIM); unreadable texts leave the record.
    void RecordPeerTime(const std::string& text, Link& link);

private:
    void Begin(Link& link, bool acceptedSide);
    void SendClock(Link& link);
    void OnCnpropConnecting(const SocketParameters& parameters, Link& link);
    void OnCnpropAccepting(const SocketParameters& parameters, Link& link);

    bool time_source_;
    // Written on the socket's thread, read by anyone who asks how far the exchange got.
    std::atomic<HandshakeState> state_{kHandshakeNone};
    bool accepted_side_ = false;
    bool remembered_encryption_ = false;
    bool remembered_compression_ = false;
    std::string peer_station_;
    PeerClockRecord peer_clock_;
};

}  // namespace ruzd::net
