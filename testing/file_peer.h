#pragma once

// The central server's side of the node's file-transfer connection (a text-command connection),
// written for the tests on plain blocking sockets and with zlib and nettle called directly, so
// that the node's own transform code is checked against an independent implementation of the
// wire format.

#include <zlib.h>

#include <nettle/arcfour.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testing/loopback_socket.h"

namespace ruzd::testing {

// RC4 keyed with the MD5 digest of the connection's password, as both ends key it.
void KeyRc4(arcfour_ctx& context);

class FilePeer {
public:
    // Connects to 127.0.0.1:`port`; Connected() tells whether that worked.
    explicit FilePeer(unsigned port);
    // Over a connection made already.
    explicit FilePeer(RawConnection connection);
    ~FilePeer();
    FilePeer(const FilePeer&) = delete;
    FilePeer& operator=(const FilePeer&) = delete;

    // Connects once the port listens: a node's file listener may come up a moment after its
    // command listener on a loaded machine.
    static std::unique_ptr<FilePeer> ConnectWhenListening(unsigned port);
    // A connection the node has authorised (the handshake, then "STARTS 2" answered with
    // "STARTS 1"), which lets the node take the central server's CNINIT; none, and a failure of
    // the test, when that did not work.
    static std::unique_ptr<FilePeer> Authorised(unsigned port);
    // The same over a connection made already to `port`.
    static std::unique_ptr<FilePeer> Authorised(RawConnection connection, unsigned port);
    // The same from another loopback address (as "127.0.0.2"), once the port listens.
    static std::unique_ptr<FilePeer> AuthorisedFrom(const char* address, unsigned port);

    bool Connected() const { return connection_.valid(); }
    void Close() { connection_.Close(); }
    // True when the node closed the connection (what it still sent is dropped).
    bool WaitClosed() { return connection_.WaitClosed(); }

    void SetSettings(bool encrypt, bool compress) {
        encrypt_ = encrypt;
        compress_ = compress;
    }
    bool Encrypting() const { return encrypt_; }
    bool Compressing() const { return compress_; }

    // Sends bytes under the current settings.
    void SendBytes(const uint8_t* data, size_t length);
    void SendBytes(const std::vector<uint8_t>& data) { SendBytes(data.data(), data.size()); }
    void SendText(const std::string& text);
    // What the bytes become on the wire under the current settings, to be sent later with
    // SendWire (a benchmark encodes before its clock starts).
    std::vector<uint8_t> Encode(const uint8_t* data, size_t length);
    void SendWire(const std::vector<uint8_t>& wire);

    // The next line without its "\r"; none when the connection closed or nothing came in time.
    std::optional<std::string> ReadLine();
    // Exactly `count` decoded bytes; none when they did not come.
    std::optional<std::vector<uint8_t>> ReadBytes(size_t count);

    // The handshake as the connecting side: CNPROP with a time text and a station name, the
    // node's answer (read byte by byte, as the settings change right after it), then the
    // acknowledgement under the offered settings and, with `sendClock`, this side's clock. The
    // answer's parameters, or none.
    std::optional<std::vector<std::string>> Handshake(bool sendClock = true);
    // The node's handshake answer as it came over the wire.
    const std::vector<uint8_t>& ReplyWire() const { return reply_wire_; }
    // The clock the handshake sends (a fixed time unless set).
    void SetHandshakeClock(std::string text) { handshake_clock_ = std::move(text); }

private:
    // The handshake and "STARTS 2" on `peer`'s connection.
    static std::unique_ptr<FilePeer> Authorise(std::unique_ptr<FilePeer> peer, unsigned port);

    // Decodes what comes next from the wire into plain_; false on a close or time-out.
    bool Fill();

    RawConnection connection_;
    bool encrypt_ = false;
    bool compress_ = false;
    arcfour_ctx send_cipher_{};
    arcfour_ctx receive_cipher_{};
    z_stream deflate_{};
    z_stream inflate_{};
    std::vector<uint8_t> plain_;
    std::vector<uint8_t> reply_wire_;
    std::string handshake_clock_ = "2026-12-08T08:05:10+00000";
};

}  // namespace ruzd::testing
