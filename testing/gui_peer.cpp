#include "testing/gui_peer.h"

#include <utility>

#include "net/input_stream_socket.h"

namespace ruzd::testing {

Payload GuiFrame::payload() const {
    if (bytes.empty() || bytes.size() < size_t{1} + bytes[0] + 3) {
        return {};
    }
    return Payload(bytes.begin() + 1 + bytes[0], bytes.end() - 3);
}

int32_t GuiFrame::id() const {
    const Payload values = payload();
    net::CInputStreamSocket reader(values.data(), static_cast<int>(values.size()));
    int32_t id = -1;
    return reader.ReadInt(id).IsOk() ? id : -1;
}

GuiPeer::GuiPeer(RawConnection connection) : connection_(std::move(connection)) {
    connection_.SendAtOnce();
}

GuiPeer GuiPeer::Connect(unsigned port) {
    return GuiPeer(RawConnection::ConnectWhenListening(port));
}

std::optional<GuiFrame> GuiPeer::Next(std::chrono::milliseconds patience) {
    GuiFrame frame;
    frame.bytes = connection_.Read(1, patience);
    if (frame.bytes.size() != 1 || frame.bytes[0] < 1 || frame.bytes[0] > 3) {
        return std::nullopt;
    }
    const std::vector<uint8_t> length = connection_.Read(frame.bytes[0], patience);
    if (length.size() != frame.bytes[0]) {
        return std::nullopt;
    }
    size_t size = 0;
    for (uint8_t byte : length) {
        size = size << 8 | byte;
    }
    frame.bytes.insert(frame.bytes.end(), length.begin(), length.end());
    // The payload, its sum and the end byte.
    const std::vector<uint8_t> rest = connection_.Read(size + 3, patience);
    if (rest.size() != size + 3) {
        return std::nullopt;
    }
    frame.bytes.insert(frame.bytes.end(), rest.begin(), rest.end());
    return frame;
}

std::optional<GuiFrame> GuiPeer::NextWithId(int32_t id, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        std::optional<GuiFrame> frame = Next(left);
        if (!frame || frame->id() == id) {
            return frame;
        }
    }
}

}  // namespace ruzd::testing
