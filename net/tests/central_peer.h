#pragma once

// The central server's side of a text-command connection, written for the tests with plain
// blocking sockets and with zlib and nettle called directly, so that the node's own transform
// code is checked against an independent implementation of the wire format.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace ruzd::net::filetest {

constexpr const char* kPassword = "Ruzd+FileSync_7Qm3Vx9Lc2Tb8N-kW4";

// Waits up to 20 seconds for `done`.
inline bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A port nobody listens on at the moment.
inline uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// RC4 keyed with the MD5 digest of the password, as both ends key it.
inline void KeyRc4(arcfour_ctx& context) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, std::strlen(kPassword), reinterpret_cast<const uint8_t*>(kPassword));
    uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&md5, sizeof digest, digest);
    arcfour_set_key(&context, sizeof digest, digest);
}

// A clock whose wall time stands still but whose tick runs, so that time texts are known in
// advance while the handshake's windows still pass.
class StillWallClock : public platform::Clock {
public:
    explicit StillWallClock(platform::WallTime now) : now_(now) {}
    platform::WallTime Now() const override { return now_; }
    uint64_t TickMs() const override { return platform::SystemClock().TickMs(); }

private:
    platform::WallTime now_;
};

class CentralPeer {
public:
    // Connects to 127.0.0.1:`port`; Connected() tells whether that worked.
    explicit CentralPeer(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        SetReceiveTimeout(20000);
        KeyRc4(sendCipher_);
        KeyRc4(receiveCipher_);
        deflateInit(&deflate_, Z_DEFAULT_COMPRESSION);
        inflateInit(&inflate_);
    }
    // Connects once the port listens, trying for up to ten seconds: a node's file listener may
    // come up a moment after its command listener on a loaded machine.
    static std::unique_ptr<CentralPeer> ConnectWhenListening(uint16_t port) {
        auto peer = std::make_unique<CentralPeer>(port);
        for (int attempt = 0; attempt < 100 && !peer->Connected(); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            peer = std::make_unique<CentralPeer>(port);
        }
        return peer;
    }
    ~CentralPeer() {
        Close();
        deflateEnd(&deflate_);
        inflateEnd(&inflate_);
    }
    CentralPeer(const CentralPeer&) = delete;
    CentralPeer& operator=(const CentralPeer&) = delete;

    bool Connected() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    void SetReceiveTimeout(int milliseconds) {
        timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }

    void SetSettings(bool encrypt, bool compress) {
        encrypt_ = encrypt;
        compress_ = compress;
    }
    bool Encrypting() const { return encrypt_; }
    bool Compressing() const { return compress_; }

    // What the message becomes on the wire under the current settings.
    std::vector<uint8_t> Encode(const uint8_t* data, size_t length) {
        std::vector<uint8_t> wire;
        if (compress_) {
            wire.resize(deflateBound(&deflate_, length) + 64);
            deflate_.next_in = const_cast<uint8_t*>(data);
            deflate_.avail_in = static_cast<uInt>(length);
            deflate_.next_out = wire.data();
            deflate_.avail_out = static_cast<uInt>(wire.size());
            if (deflate(&deflate_, Z_SYNC_FLUSH) != Z_OK || deflate_.avail_in != 0) {
                throw std::runtime_error("test peer cannot compress");
            }
            wire.resize(wire.size() - deflate_.avail_out);
        } else {
            wire.assign(data, data + length);
        }
        if (encrypt_) {
            arcfour_crypt(&sendCipher_, wire.size(), wire.data(), wire.data());
        }
        return wire;
    }

    void SendWire(const std::vector<uint8_t>& wire) {
        size_t at = 0;
        while (at < wire.size()) {
            const ssize_t sent = ::send(fd_, wire.data() + at, wire.size() - at, MSG_NOSIGNAL);
            if (sent <= 0) {
                throw std::runtime_error("test peer cannot send");
            }
            at += static_cast<size_t>(sent);
        }
    }
    void SendBytes(const uint8_t* data, size_t length) { SendWire(Encode(data, length)); }
    void SendBytes(const std::vector<uint8_t>& data) { SendBytes(data.data(), data.size()); }
    void SendText(const std::string& text) {
        SendBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }

    // The next line without its "\r"; none when the connection closed or nothing came in time.
    std::optional<std::string> ReadLine() {
        for (;;) {
            const auto end = std::find(plain_.begin(), plain_.end(), '\r');
            if (end != plain_.end()) {
                std::string line(plain_.begin(), end);
                plain_.erase(plain_.begin(), end + 1);
                return line;
            }
            if (!Fill()) {
                return std::nullopt;
            }
        }
    }
    // Exactly `count` decoded bytes; none when they did not come.
    std::optional<std::vector<uint8_t>> ReadBytes(size_t count) {
        while (plain_.size() < count) {
            if (!Fill()) {
                return std::nullopt;
            }
        }
        std::vector<uint8_t> bytes(plain_.begin(), plain_.begin() + static_cast<long>(count));
        plain_.erase(plain_.begin(), plain_.begin() + static_cast<long>(count));
        return bytes;
    }
    // Raw bytes from the wire as they come, undecoded; empty on a close or time-out.
    std::vector<uint8_t> ReadWire(size_t atMost) {
        std::vector<uint8_t> wire(atMost);
        const ssize_t got = ::recv(fd_, wire.data(), wire.size(), 0);
        wire.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return wire;
    }
    // Whether the peer closed the connection (reads up to `milliseconds` for its end).
    bool SeesClose(int milliseconds) {
        SetReceiveTimeout(milliseconds);
        uint8_t byte = 0;
        const ssize_t got = ::recv(fd_, &byte, 1, 0);
        SetReceiveTimeout(20000);
        return got == 0;
    }

    // The handshake as the connecting side: CNPROP with a time text and a station name, the
    // node's answer (read byte by byte, as the settings change right after it), then the
    // acknowledgement under the offered settings and this side's clock. The answer's
    // parameters, or none.
    std::optional<std::vector<std::string>> Handshake(bool sendClock = true) {
        SetSettings(true, false);
        SendText("CNPROP 2026-12-08T08:05:10+00:00 CENTRAL\\SERVER\r");
        std::string reply;
        replyWire_.clear();
        for (;;) {
            std::vector<uint8_t> wire = ReadWire(1);
            if (wire.empty()) {
                return std::nullopt;
            }
            replyWire_.push_back(wire[0]);
            arcfour_crypt(&receiveCipher_, 1, wire.data(), wire.data());
            if (wire[0] == '\r') {
                break;
            }
            reply += static_cast<char>(wire[0]);
        }
        std::vector<std::string> fields;
        size_t start = 0;
        while (start <= reply.size()) {
            const size_t blank = reply.find(' ', start);
            fields.push_back(reply.substr(start, blank - start));
            if (blank == std::string::npos) {
                break;
            }
            start = blank + 1;
        }
        if (fields.size() < 4 || fields[0] != "CNPROP") {
            return std::nullopt;
        }
        SetSettings(fields[2] != "0", fields[3] != "0");
        SendText("CNPROP\r");
        if (sendClock) {
            SendText("TTSYNC 2026-12-08T08:05:10+00000\r");
        }
        fields.erase(fields.begin());
        return fields;
    }

    // The node's handshake answer as it came over the wire.
    const std::vector<uint8_t>& ReplyWire() const { return replyWire_; }

private:
    bool Fill() {
        std::vector<uint8_t> wire = ReadWire(65536);
        if (wire.empty()) {
            return false;
        }
        if (encrypt_) {
            arcfour_crypt(&receiveCipher_, wire.size(), wire.data(), wire.data());
        }
        if (!compress_) {
            plain_.insert(plain_.end(), wire.begin(), wire.end());
            return true;
        }
        inflate_.next_in = wire.data();
        inflate_.avail_in = static_cast<uInt>(wire.size());
        std::vector<uint8_t> out(65536);
        do {
            inflate_.next_out = out.data();
            inflate_.avail_out = static_cast<uInt>(out.size());
            const int result = inflate(&inflate_, Z_SYNC_FLUSH);
            if (result != Z_OK && result != Z_BUF_ERROR) {
                throw std::runtime_error("test peer cannot inflate");
            }
            plain_.insert(plain_.end(), out.begin(),
                          out.begin() + static_cast<long>(out.size() - inflate_.avail_out));
            if (result == Z_BUF_ERROR) {
                break;
            }
        } while (inflate_.avail_in > 0 || inflate_.avail_out == 0);
        return true;
    }

    int fd_ = -1;
    bool encrypt_ = false;
    bool compress_ = false;
    arcfour_ctx sendCipher_{};
    arcfour_ctx receiveCipher_{};
    z_stream deflate_{};
    z_stream inflate_{};
    std::vector<uint8_t> plain_;
    std::vector<uint8_t> replyWire_;
};

}  // namespace ruzd::net::filetest
