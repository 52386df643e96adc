#include "net/wire_transform.h"

namespace ruzd::net {

void WireTransform::InitCrypto(std::string_view password) {
    const Rc4Key key = DeriveRc4Key(password);
    sendCipher_.SetKey(key);
    receiveCipher_.SetKey(key);
}

void WireTransform::ReleaseCrypto() {
    sendCipher_.Clear();
    receiveCipher_.Clear();
}

bool WireTransform::InitCompression(int level) {
    const bool deflateMade = deflate_.Init(level);
    const bool inflateMade = inflate_.Init();
    deflateIn_.store(0);
    deflateOut_.store(0);
    inflateIn_.store(0);
    inflateOut_.store(0);
    return deflateMade && inflateMade;
}

void WireTransform::EndCompression() {
    deflate_.End();
    inflate_.End();
    deflateIn_.store(0);
    deflateOut_.store(0);
    inflateIn_.store(0);
    inflateOut_.store(0);
}

bool WireTransform::Encode(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    plainSent_ += length;
    const size_t start = out.size();
    if (compress_) {
        const bool compressed = deflate_.Compress(data, length, out);
        deflateIn_.store(deflate_.TotalIn());
        deflateOut_.store(deflate_.TotalOut());
        if (!compressed) {
            return false;
        }
    } else {
        out.insert(out.end(), data, data + length);
    }
    if (encrypt_ && !sendCipher_.Crypt(out.data() + start, out.size() - start)) {
        out.resize(start);
        return false;
    }
    return true;
}

bool WireTransform::Decode(uint8_t* wire, size_t length, std::vector<uint8_t>& out) {
    if (encrypt_ && !receiveCipher_.Crypt(wire, length)) {
        return false;
    }
    if (compress_) {
        const bool inflated = inflate_.Decompress(wire, length, out);
        inflateIn_.store(inflate_.TotalIn());
        inflateOut_.store(inflate_.TotalOut());
        return inflated;
    }
    plainReceived_ += length;
    out.insert(out.end(), wire, wire + length);
    return true;
}

bool WireTransform::DecodeInPlace(uint8_t* wire, size_t length) {
    if (compress_ || (encrypt_ && !receiveCipher_.Crypt(wire, length))) {
        return false;
    }
    plainReceived_ += length;
    return true;
}

uint64_t WireTransform::SentBytes(bool onWire) const {
    if (compress_) {
        return onWire ? deflateOut_.load() : deflateIn_.load();
    }
    return plainSent_.load();
}

uint64_t WireTransform::ReceivedBytes(bool onWire) const {
    if (compress_) {
        return onWire ? inflateIn_.load() : inflateOut_.load();
    }
    return plainReceived_.load();
}

double WireTransform::SendCompressionRatio() const {
    const uint64_t out = deflateOut_.load();
    return out == 0 ? 0.0 : static_cast<double>(deflateIn_.load()) / static_cast<double>(out);
}

double WireTransform::ReceiveCompressionRatio() const {
    const uint64_t in = inflateIn_.load();
    return in == 0 ? 0.0 : static_cast<double>(inflateOut_.load()) / static_cast<double>(in);
}

void WireTransform::ResetCounters() {
    plainSent_.store(0);
    plainReceived_.store(0);
}

}  // namespace ruzd::net
