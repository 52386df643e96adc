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
    return deflateMade && inflateMade;
}

void WireTransform::EndCompression() {
    deflate_.End();
    inflate_.End();
}

bool WireTransform::Encode(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    plainSent_ += length;
    const size_t start = out.size();
    if (compress_) {
        if (!deflate_.Compress(data, length, out)) {
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
        return inflate_.Decompress(wire, length, out);
    }
    plainReceived_ += length;
    out.insert(out.end(), wire, wire + length);
    return true;
}

uint64_t WireTransform::SentBytes(bool onWire) const {
    if (compress_) {
        return onWire ? deflate_.TotalOut() : deflate_.TotalIn();
    }
    return plainSent_;
}

uint64_t WireTransform::ReceivedBytes(bool onWire) const {
    if (compress_) {
        return onWire ? inflate_.TotalIn() : inflate_.TotalOut();
    }
    return plainReceived_;
}

double WireTransform::SendCompressionRatio() const {
    const uint64_t out = deflate_.TotalOut();
    return out == 0 ? 0.0 : static_cast<double>(deflate_.TotalIn()) / static_cast<double>(out);
}

double WireTransform::ReceiveCompressionRatio() const {
    const uint64_t in = inflate_.TotalIn();
    return in == 0 ? 0.0 : static_cast<double>(inflate_.TotalOut()) / static_cast<double>(in);
}

void WireTransform::ResetCounters() {
    plainSent_ = 0;
    plainReceived_ = 0;
}

}  // namespace ruzd::net
