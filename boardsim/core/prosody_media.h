#pragma once

// The Prosody media of the simulated Aculab cards: the channels placed on the open modules,
// switched onto a stream and slot of the module and joined into echo cancellers, and the VMP
// and TDM contexts with the data feeds between them. Every object gets an id of its own, which
// the library hands out as its opaque pointer; each function checks that the ids it is given
// name objects of the right kind. Results are 0 or the simulation's negative errors
// (aculab_system.h).

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ruzd::boardsim {

class AculabSystem;

class ProsodyMedia {
public:
    using Id = uintptr_t;
    enum class Kind { kInput, kOutput, kVmpRx, kVmpTx, kTdmRx, kTdmTx };

    // The modules are the cards': an object is made only on one that is open.
    explicit ProsodyMedia(const AculabSystem& cards) : cards_(cards) {}

    // A channel of input (type 0) or output (1) type on the module.
    int32_t AllocateChannel(int32_t module, int32_t type, Id* id);
    // An input channel hears, an output channel sends on, a stream and slot of its module.
    int32_t SwitchChannel(Id channel, Kind kind, int32_t stream, int32_t slot);
    int32_t ReleaseChannel(Id channel);
    // An output channel plays DTMF digits; what it played is kept, in order.
    int32_t PlayDigits(Id channel, const std::string& digits);

    // An echo canceller: the input channel, cleaned of what its reference hears, to the output
    // channel; then its adjustments and span.
    int32_t ConditionInput(Id input, Id reference, Id output);
    int32_t Adjust(Id input, int32_t adjustment);
    int32_t AdjustSpan(Id input, int32_t span);

    // VMP contexts on a module; TDM contexts on a stream and slot of one.
    int32_t CreateContext(Kind kind, int32_t module, int32_t stream, int32_t slot, Id* id);
    // A destroyed context's data feed is disconnected from wherever it went.
    int32_t DestroyContext(Kind kind, Id id);
    int32_t StopContext(Kind kind, Id id);
    // The data feed of a TDM receive or VMP receive context (the same every time).
    int32_t Datafeed(Kind kind, Id id, Id* feed);
    // A VMP transmit or TDM transmit context takes its data from the feed; 0 disconnects it.
    int32_t Connect(Kind kind, Id id, Id feed);
    // The RTP and RTCP ports of a VMP receive context.
    int32_t Ports(Id vmprx, uint32_t* rtp, uint32_t* rtcp);
    // What a VMP context is configured for, kept as its words ("dest=<address>:<port>",
    // "codec=<codec>/<payload type>", "tones=<detect>/<regenerate>").
    int32_t Configure(Kind kind, Id id, const std::string& setting);

    // Whether `id` names an object of that kind.
    bool Is(Kind kind, Id id) const;
    // The module closed: everything on it is gone.
    void ForgetModule(int32_t module);

    // The objects on the module in the order they were made, or "none":
    //   channel=<id>:in|out:<stream>:<slot> (:-:- before it is switched), an input channel
    //     that cancels echo followed by :echo(ref=<id>,out=<id>,adjust=<a>+<a>,span=<n>), an
    //     output channel that played digits by :digits=<the digits played>
    //   vmprx=<id>:running|stopped[:<setting>...], vmptx=<id>:running|stopped:from=<source>
    //     [:<setting>...]
    //   tdmrx=<id>:<stream>:<slot>, tdmtx=<id>:<stream>:<slot>:from=<source>
    // where a source is the kind and id of the context whose data feed it takes, or none.
    std::string Describe(int32_t module) const;

private:
    struct Object {
        Kind kind = Kind::kInput;
        int32_t module = 0;
        int32_t stream = -1;
        int32_t slot = -1;
        bool running = true;
        Id feed = 0;    // its own data feed, once asked for
        Id source = 0;  // the data feed it takes
        // An echo canceller's reference and output, its adjustments and span.
        bool cancels_echo = false;
        Id reference = 0;
        Id output = 0;
        std::set<int32_t> adjustments;
        int32_t span = 0;
        std::string digits;
        uint32_t rtp_port = 0;
        std::vector<std::string> settings;
    };

    Object* Find(Kind kind, Id id);
    const Object* Find(Kind kind, Id id) const;
    Id NextId() { return next_id_++; }
    std::string SourceText(Id feed) const;

    const AculabSystem& cards_;
    mutable std::mutex mutex_;
    Id next_id_ = 0x10001;
    uint32_t next_port_ = 20000;
    std::map<Id, Object> objects_;
    std::map<Id, Id> feed_owners_;  // data feed -> the context it comes from
};

}  // namespace ruzd::boardsim
