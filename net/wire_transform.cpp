#include "net/wire_transform.h"

namespace ruzd::net {

void WireTransform::InitCrypto(std::string_view password) {
    const Rc4Key key = DeriveRc4Key(password);
    send_cipher_.SetKey(key);
    receive_cipher_.SetKey(key);
}

void WireTransform::ReleaseCrypto() {
    send_cipher_.Clear();
    receive_cipher_.Clear();
}

bool WireTransform::InitCompression(int level) {
    const bool deflateMade = deflate_.Init(level);
    const bool inflateMade = inflate_.Init();
    deflate_in_.store(0);
    deflate_out_.store(0);
    inflate_in_.store(0);
    inflate_out_.store(0);
    return deflateMade && inflateMade;
}

void WireTransform::EndCompression() {
    deflate_.End();
    inflate_.End();
    deflate_in_.store(0);
    deflate_out_.store(0);
    inflate_in_.store(0);
    inflate_out_.store(0);
}

bool WireTransform::Encode(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    plain_sent_ += length;
    const size_t start = out.size();
    if (compress_) {
        const bool compressed = deflate_.Compress(data, length, out);
        deflate_in_.store(deflate_.TotalIn());
        deflate_out_.store(deflate_.TotalOut());
        if (!compressed) {
            return false;
        }
    } else {
        out.insert(out.end(), data, data + length);
    }
    if (encrypt_ && !send_cipher_.Crypt(out.data() + start, out.size() - start)) {
        out.resize(start);
        return false;
    }
    return true;
}

bool WireTransform::Decode(uint8_t* wire, size_t length, std::vector<uint8_t>& out, size_t limit) {
    if (encrypt_ && !receive_cipher_.Crypt(wire, length)) {
        return false;
    }
    if (compress_) {
        const bool inflated = inflate_.Decompress(wire, length, out, limit);
        inflate_in_.store(inflate_.TotalIn());
        inflate_out_.store(inflate_.TotalOut());
        return inflated;
    }
    plain_received_ += length;
    out.insert(out.end(), wire, wire + length);
    return true;
}

bool WireTransform::DecodeInPlace(uint8_t* wire, size_t length) {
    if (compress_ || (encrypt_ && !receive_cipher_.Crypt(wire, length))) {
        return false;
    }
    plain_received_ += length;
    return true;
}

bool WireTransform::StartDecode(uint8_t* wire, size_t length) {
    if (encrypt_ && !receive_cipher_.Crypt(wire, length)) {
        return false;
    }
    inflate_.SetInput(wire, length);
    return true;
}

std::optional<size_t> WireTransform::DecodeNext(uint8_t* out, size_t room) {
    const std::optional<size_t> made = inflate_.Inflate(out, room);
    inflate_in_.store(inflate_.TotalIn());
    inflate_out_.store(inflate_.TotalOut());
    return made;
}

uint64_t WireTransform::SentBytes(bool onWire) const {
    if (compress_) {
        return onWire ? deflate_out_.load() : deflate_in_.load();
    }
    return plain_sent_.load();
}

uint64_t WireTransform::ReceivedBytes(bool onWire) const {
    if (compress_) {
        return onWire ? inflate_in_.load() : inflate_out_.load();
    }
    return plain_received_.load();
}

double WireTransform::SendCompressionRatio() const {
    const uint64_t out = deflate_out_.load();
    return out == 0 ? 0.0 : static_cast<double>(deflate_in_.load()) / static_cast<double>(out);
}

double WireTransform::ReceiveCompressionRatio() const {
    const uint64_t in = inflate_in_.load();
    return in == 0 ? 0.0 : static_cast<double>(inflate_out_.load()) / static_cast<double>(in);
}

void WireTransform::ResetCounters() {
    plain_sent_.store(0);
    plain_received_.store(0);
}

}  // namespace ruzd::net
