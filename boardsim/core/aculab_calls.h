#pragma once

// Call control on the Aculab cards of the simulated machine: the ports opened on the cards (the
// net ports of a card's call capability, and IP telephony ports) and the calls on their time
// slots, each under the handle the library gave it. A call waits for an incoming call (openin)
// or goes out (openout); an incoming one is rung and accepted, any call is disconnected with a
// cause and released. Port ids and call handles are handed out by the simulation; results are
// 0 or one of its negative errors (aculab_system.h).
//
// A call's state changes only here, through Change, so that what raises the calls' events can
// build on it.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ruzd::boardsim {

class AculabCalls {
public:
    struct Port {
        int32_t card_id = 0;
        int32_t index = -1;  // the net port's index; -1 for an IP telephony port
        int32_t protocol = 0;
    };

    struct Call {
        int32_t port = 0;
        int32_t slot = 0;
        int32_t mode = 0;
        int32_t context = 0;  // the application's own number for the call's channel
        bool outgoing = false;
        // "waiting" (for an incoming call), "outgoing", "ringing", "connected", "disconnected".
        std::string state;
        // The VMP contexts that carry the call's media (as the media library's ids), 0 for none.
        uintptr_t vmprx = 0;
        uintptr_t vmptx = 0;
        int32_t cause = 0;
        int32_t raw = 0;
        std::optional<int32_t> dtmf;
    };

    // A net port of an open card (its call capability open, the index one of its ports) or an
    // IP telephony port of the card; a net port already open is busy.
    int32_t OpenPort(int32_t card_id, int32_t index, int32_t* port_id);
    int32_t OpenIptelPort(int32_t card_id, int32_t protocol, int32_t* port_id);
    // Closes the port and ends its calls.
    int32_t ClosePort(int32_t port_id);
    // The card closed: its ports and calls are gone.
    void ForgetCard(int32_t card_id);
    std::optional<Port> PortOf(int32_t port_id) const;

    // A new call on an open port.
    int32_t Open(const Call& call, int32_t* handle);
    // Runs `change` on the call, under the lock, and gives its result; an unknown handle is an
    // invalid parameter.
    int32_t Change(int32_t handle, const std::function<int32_t(Call& call)>& change);
    int32_t Release(int32_t handle);
    std::optional<Call> CallOf(int32_t handle) const;

    // "card=<id> index=<n>|ipt protocol=<n> calls=<handles, or none>", or nullopt.
    std::optional<std::string> DescribePort(int32_t port_id) const;
    // "port=<id> slot=<n> direction=in|out state=<state> context=<n> vmprx=<id> vmptx=<id>
    // cause=<n> dtmf=<mode or none>", or nullopt.
    std::optional<std::string> DescribeCall(int32_t handle) const;

private:
    void EndCallsOf(int32_t port_id);

    mutable std::mutex mutex_;
    int32_t next_port_ = 0x100;
    int32_t next_call_ = 0x1000;
    std::map<int32_t, Port> ports_;
    std::map<int32_t, Call> calls_;
};

}  // namespace ruzd::boardsim
