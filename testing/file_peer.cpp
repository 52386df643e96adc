#include "testing/file_peer.h"

#include <gtest/gtest.h>
#include <nettle/md5.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "testing/eventually.h"

namespace ruzd::testing {

namespace {
constexpr const char* kPassword = "Ruzd+FileSync_7Qm3Vx9Lc2Tb8N-kW4";
}  // namespace

void KeyRc4(arcfour_ctx& context) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, std::strlen(kPassword), reinterpret_cast<const uint8_t*>(kPassword));
    uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&md5, sizeof digest, digest);
    arcfour_set_key(&context, sizeof digest, digest);
}

FilePeer::FilePeer(unsigned port) : FilePeer(RawConnection::Connect(port)) {}

FilePeer::FilePeer(RawConnection connection) : connection_(std::move(connection)) {
    KeyRc4(send_cipher_);
    KeyRc4(receive_cipher_);
    deflateInit(&deflate_, Z_DEFAULT_COMPRESSION);
    inflateInit(&inflate_);
}

FilePeer::~FilePeer() {
    deflateEnd(&deflate_);
    inflateEnd(&inflate_);
}

std::unique_ptr<FilePeer> FilePeer::ConnectWhenListening(unsigned port) {
    return std::unique_ptr<FilePeer>(new FilePeer(RawConnection::ConnectWhenListening(port)));
}

std::unique_ptr<FilePeer> FilePeer::Authorised(unsigned port) {
    return Authorise(ConnectWhenListening(port), port);
}

std::unique_ptr<FilePeer> FilePeer::AuthorisedFrom(const char* address, unsigned port) {
    RawConnection connection;
    Eventually([&] {
        connection = RawConnection::ConnectFromAddress(address, port);
        return connection.valid();
    });
    return Authorised(std::move(connection), port);
}

std::unique_ptr<FilePeer> FilePeer::Authorised(RawConnection connection, unsigned port) {
    return Authorise(std::unique_ptr<FilePeer>(new FilePeer(std::move(connection))), port);
}

std::unique_ptr<FilePeer> FilePeer::Authorise(std::unique_ptr<FilePeer> peer, unsigned port) {
    if (!peer->Connected() || !peer->Handshake(false)) {
        ADD_FAILURE() << "no file connection with a handshake on port " << port;
        return nullptr;
    }
    peer->SendText("STARTS 2\r");
    if (const std::optional<std::string> answer = peer->ReadLine(); answer != "STARTS 1") {
        ADD_FAILURE() << "the file connection was not authorised: " << answer.value_or("nothing");
        return nullptr;
    }
    return peer;
}

std::vector<uint8_t> FilePeer::Encode(const uint8_t* data, size_t length) {
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
        wire.erase(wire.end() - deflate_.avail_out, wire.end());
    } else {
        wire.assign(data, data + length);
    }
    if (encrypt_) {
        arcfour_crypt(&send_cipher_, wire.size(), wire.data(), wire.data());
    }
    return wire;
}

void FilePeer::SendBytes(const uint8_t* data, size_t length) {
    SendWire(Encode(data, length));
}

void FilePeer::SendWire(const std::vector<uint8_t>& wire) {
    if (!connection_.SendAll(wire)) {
        throw std::runtime_error("test peer cannot send");
    }
}

void FilePeer::SendText(const std::string& text) {
    SendBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::optional<std::string> FilePeer::ReadLine() {
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

std::optional<std::vector<uint8_t>> FilePeer::ReadBytes(size_t count) {
    while (plain_.size() < count) {
        if (!Fill()) {
            return std::nullopt;
        }
    }
    std::vector<uint8_t> bytes(plain_.begin(), plain_.begin() + static_cast<long>(count));
    plain_.erase(plain_.begin(), plain_.begin() + static_cast<long>(count));
    return bytes;
}

std::optional<std::vector<std::string>> FilePeer::Handshake(bool sendClock) {
    SetSettings(true, false);
    SendText("CNPROP 2026-12-08T08:05:10+00:00 CENTRAL\\SERVER\r");
    std::string reply;
    reply_wire_.clear();
    for (;;) {
        std::vector<uint8_t> wire = connection_.ReadSome(kPatience, 1);
        if (wire.empty()) {
            return std::nullopt;
        }
        reply_wire_.push_back(wire[0]);
        arcfour_crypt(&receive_cipher_, 1, wire.data(), wire.data());
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
        SendText("TTSYNC " + handshake_clock_ + "\r");
    }
    fields.erase(fields.begin());
    return fields;
}

bool FilePeer::Fill() {
    std::vector<uint8_t> wire = connection_.ReadSome();
    if (wire.empty()) {
        return false;
    }
    if (encrypt_) {
        arcfour_crypt(&receive_cipher_, wire.size(), wire.data(), wire.data());
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

}  // namespace ruzd::testing
