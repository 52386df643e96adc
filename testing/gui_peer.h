#pragma once

// One end of the local GUI link on a real TCP connection, for the tests of both of its sides:
// a window's connection to the node, or the node's end of a window's connection. It keeps every
// frame as the bytes that came, so that tests compare what crossed the wire, and writes frames
// of the binary message stream with the test's own values.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "testing/command_peer.h"
#include "testing/loopback_socket.h"

namespace ruzd::testing {

// One whole frame: length form, length, payload, sum, end byte.
struct GuiFrame {
    std::vector<uint8_t> bytes;

    // The payload between the length and the sum.
    Payload payload() const;
    // The message id (its first value); -1 when the payload holds none.
    int32_t id() const;
};

class GuiPeer {
public:
    explicit GuiPeer(RawConnection connection);
    // A window's connection to the node's link on `port`, made once the port listens.
    static GuiPeer Connect(unsigned port);

    bool valid() const { return connection_.valid(); }

    // The next whole frame; none when nothing came in time or the connection ended.
    std::optional<GuiFrame> Next(std::chrono::milliseconds patience = kPatience);
    // The next frame with this id, skipping the others (as the status text, which the node
    // sends every second).
    std::optional<GuiFrame> NextWithId(int32_t id, std::chrono::milliseconds patience = kPatience);

    bool Send(const std::vector<uint8_t>& bytes) { return connection_.SendAll(bytes); }
    bool SendMessage(int32_t id, const ValueWriter& write = {}) {
        return Send(MessageFrame(id, write));
    }

    RawConnection& connection() { return connection_; }

private:
    RawConnection connection_;
};

}  // namespace ruzd::testing
