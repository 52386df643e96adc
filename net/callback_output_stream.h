#pragma once

// A writer whose frames go to a function instead of a socket: for links that carry frames in
// other ways, and for encoding messages in memory.

#include <cstdint>
#include <functional>
#include <string>

#include "net/output_stream_socket.h"

namespace ruzd::net {

class CCallbackOutputStream : public COutputStreamSocket {
public:
    // Gets each whole frame, and the peer it was addressed to (empty address and port 0 for
    // Send). Called with the writer's lock held; the frame is valid only during the call.
    using FrameSink = std::function<void(const uint8_t* frame, int length,
                                         const std::string& address, unsigned port)>;

    explicit CCallbackOutputStream(FrameSink sink);
    ~CCallbackOutputStream() override;

    // No single peer.
    bool GetPeerName(std::string& address, unsigned& port) override;
    int Send(const uint8_t* frame, int length) override;
    int SendTo(const std::string& address, unsigned port, const uint8_t* frame,
               int length) override;

private:
    FrameSink sink_;
};

}  // namespace ruzd::net
